// The flat table-engine interface the conversion steps call. One engine state
// per thread (the engine it replaces had one per process, and a book year
// converted on a thread of its own stands for such a process): a set of open
// work areas and one current area, the last error, the first write failure. Text crosses this interface in UTF-8 and is stored in the
// tables as Windows-1252.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/bilingual.h"

namespace store {

// Value type codes of sx_Replace.
constexpr int SX_TEXT = 1024;
constexpr int SX_DATE_TEXT = 1056;  // "dd/mm/yyyy" under the run's date settings
constexpr int SX_DOUBLE = 8;
constexpr int SX_LOGICAL = 128;

// Settings (issued once at the start of a run).
void sx_SetDateFormat(int format);   // 3 = day/month/year
void sx_SetCentury(int on);          // -1 = four-digit years
void sx_SetEpoch(int year);          // 1960

// Opening and closing. sx_Use opens exclusively with the structural CDX;
// returns the work area, 0 on failure (reason in sx_LastError()).
int16_t sx_Use(const std::string& file, const std::string& alias, int openMode = 2, int driver = 2);
// A table to read and change in memory only, never written back (not part of
// the original set, whose runs copied a table to a temporary file to change
// it: see Table::OpenMode::Scratch).
int16_t sx_UseScratch(const std::string& file, const std::string& alias);
void sx_Select(int16_t area);
void sx_Close();
void sx_CloseAll();
void sx_CloseIndexes();

// Navigation and reading on the current area.
void sx_GoTop();
void sx_Skip(int count = 1);
bool sx_Eof();
std::string sx_GetString(std::string_view field);  // the field's stored text (padding kept)
double sx_GetDouble(std::string_view field);
int32_t sx_RecNo();
int32_t sx_QueryRecCount();
int16_t sx_TagArea(const std::string& tag);  // 0 when the tag does not exist
void sx_SetOrder(int16_t order);             // 0 = record order
bool sx_Seek(const std::string& key);
bool sx_Found();
int32_t sx_Locate(const std::string& condition, int direction = 0, int continuing = 0);

// Writing on the current area.
void sx_AppendBlank();
void sx_Replace(std::string_view field, int type, const std::string& value);
void sx_Replace(std::string_view field, int type, double value);
void sx_Replace(std::string_view field, int type, int32_t value);  // logical: -1 true, 0 false
void sx_Delete();
bool sx_Rlock(int32_t record);
void sx_Commit();
void sx_Unlock(int32_t record);

// Whole-table operations.
bool sx_CopyFile(const std::string& targetFile);
bool sx_AppendFrom(const std::string& sourceFile, int driver = 2, const std::string& scope = "");
// The live records of another open area, with its changes not yet written
// (not part of the original set).
bool sx_AppendFromArea(int16_t area);

// Temporary tables.
int16_t sx_CreateNew(const std::string& file, const std::string& alias, int driver = 2, int maxFields = 50);
bool sx_CreateField(const std::string& name, const std::string& type, int width, int decimals);
int16_t sx_CreateExec();
bool sx_IndexTag(const std::string& indexFile, const std::string& tag, const std::string& keyExpr,
                 int option = 0, int descending = 0, const std::string& condition = "");
int16_t sx_IndexOpen(const std::string& indexFile);

// The index of a large table filled by several steps in turn, written once
// when the last of them is done (not part of the original set; see
// Table::deferIndex): closes of the table stop writing its CDX until
// sx_WriteDeferredIndex writes it (false with sx_LastError() when it cannot)
// or sx_DropDeferredIndex gives the table up.
void sx_DeferIndex(const std::string& file);
bool sx_WriteDeferredIndex(const std::string& file);
void sx_DropDeferredIndex(const std::string& file);

// Why the last failing call failed (not part of the original set; for messages and tests).
base::Bilingual sx_LastError();

// A table whose changes could not be written (commit, close, memo text),
// most often for want of room on the disk.
struct WriteFailure {
  std::string file;
  base::Bilingual reason;
};
// The first such failure since the last call, and forgets it (not part of
// the original set, whose writing calls report nothing: the run asks after
// every step, so that no step succeeds over a table it could not write).
std::optional<WriteFailure> sx_TakeWriteFailure();

}  // namespace store
