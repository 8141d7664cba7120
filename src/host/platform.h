// The few services that differ between operating systems. Everything
// system-specific the host needs is behind these calls.
#pragma once
#include <string>

namespace host {

// Folder of the binary (program or shared library) that holds this code, the
// place where the component keeps its INI file. Empty when unknown.
std::string componentDirectory();

// The platform's path separator as text.
const char* pathSeparator();

}  // namespace host

namespace host {

// True when the stream is a terminal (progress is then redrawn in place).
bool isTerminal(int fileDescriptor);

// Reads one line from the terminal without echoing it (passwords).
std::string readLineNoEcho();

}  // namespace host

namespace host {

// Held for the length of an import. An import allocates and frees the same
// large blocks over and over (a source table on its way into the query
// engine, each sort of a book year's lines, a document's rows), and the C
// library hands such blocks back to the system on every free: each new one
// then costs the system fresh, zeroed pages again. While it is held, freed
// memory mostly stays with the program for the next block; when it ends,
// what is free goes back to the system.
class ImportMemory {
 public:
  ImportMemory();
  ~ImportMemory();
  ImportMemory(const ImportMemory&) = delete;
  ImportMemory& operator=(const ImportMemory&) = delete;
  // Gives what is free back to the system now. The last phase of an import
  // maps the dossier's tables rather than copying them into the heap, so
  // the blocks the passes left free there would only add to its peak.
  void releaseFree() const;
};

}  // namespace host
