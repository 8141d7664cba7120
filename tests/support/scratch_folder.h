// The one scratch folder of the tests: a fresh folder per test in the
// system's temporary folder, named after the test, and helpers to fill it.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace testing_support {

// Removed when the object goes, unless the running test failed: then it stays
// for inspection and its path is printed. Test processes run in parallel, also
// from other checkouts, so every folder has a name of its own.
class ScratchFolder {
 public:
  // `name` names the folder when no test is running (a folder for the whole
  // process); by default it is the running test's name.
  explicit ScratchFolder(const std::string& name = "");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // A path inside the folder, as text.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // The folder as dossier path text with backslashes, the way the dossier code builds paths.
  std::string text() const;

 private:
  std::filesystem::path path_;
};

inline void writeText(const std::filesystem::path& file, const std::string& content) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

inline std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::set<std::string> namesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    set(value.c_str());
  }
  ~ScopedEnv() { had_ ? set(old_.c_str()) : unset(); }

 private:
  void set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_, value);
#else
    setenv(name_, value, 1);
#endif
  }
  void unset() {
#ifdef _WIN32
    _putenv_s(name_, "");
#else
    unsetenv(name_);
#endif
  }
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace testing_support
