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
