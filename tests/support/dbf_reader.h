// DBF tables read by an independent reader, Debian's python3-dbfread, through
// tests/support/read_dbf.py: what the engine writes is checked against it.
#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Live records of every table of a folder (or of one table), by file name.
std::map<std::string, long> dbfreadCounts(const std::filesystem::path& folderOrTable);
// One line per live record: the fields (all when none is named) joined by
// '|', null as "", text without its trailing blanks.
std::vector<std::string> dbfreadRows(const std::filesystem::path& table, const std::vector<std::string>& fields = {});
// One line per live record with every field as Python writes its value
// ('text', 1.5, datetime.date(2024, 2, 29), True, None), then "deleted N".
std::string dbfreadValues(const std::filesystem::path& table);

}  // namespace testing_support
