// The layers of src/ are used in one direction only:
//   app -> host -> run -> convert/entries -> convert/master -> store -> store/engine,
// base under all of them and using nothing of ours; tools/ never reach host or
// app. The libraries enforce this at build time for the targets they link;
// this test reads every #include line of src/ and tools/, so that an arrow
// against the direction is named even where a build would not meet it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Layers from the bottom up; base stands apart.
const std::vector<std::string> kLayers = {"store/engine", "store", "convert/master", "convert/entries",
                                          "run",          "host",  "app"};

// The layer of a path relative to src/ ("store/engine/sx.h"), or nullopt for
// one that lies in none (a tool's own header, a system header).
std::optional<std::string> layerOf(const std::string& path) {
  if (path.rfind("base/", 0) == 0) return "base";
  std::optional<std::string> longest;  // store/engine/ before store/
  for (const std::string& layer : kLayers)
    if (path.rfind(layer + "/", 0) == 0 && (!longest || layer.size() > longest->size())) longest = layer;
  return longest;
}

int rank(const std::string& layer) {
  for (size_t i = 0; i < kLayers.size(); ++i)
    if (kLayers[i] == layer) return static_cast<int>(i);
  return -1;
}

// Why `file` (relative to the repository: "src/store/x.cpp", "tools/t/main.cpp")
// may not include `included` (as written: "host/ui.h"); empty when it may.
std::string violation(const std::string& file, const std::string& included) {
  const std::optional<std::string> to = layerOf(included);
  if (!to) return {};
  if (file.rfind("tools/", 0) == 0) {
    if (*to == "host" || *to == "app") return file + " includes " + included + ": tools never use " + *to;
    return {};
  }
  const std::optional<std::string> from = layerOf(file.substr(4));  // after "src/"
  if (!from) return file + " lies in no layer";
  if (*to == *from) return {};
  if (*from == "base") return file + " includes " + included + ": base uses nothing of ours";
  if (*to == "base") return {};
  if (rank(*to) > rank(*from)) return file + " includes " + included + ": " + *from + " may not use " + *to;
  return {};
}

std::vector<std::string> violationsIn(const fs::path& root, const std::string& folder, int& includesRead) {
  static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    const std::string file = fs::relative(entry.path(), root).generic_string();
    std::ifstream in(entry.path());
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
      if (!std::regex_search(line, m, include)) continue;
      ++includesRead;
      if (std::string why = violation(file, m[1]); !why.empty()) found.push_back(why);
    }
  }
  return found;
}

TEST(Layers, RuleRefusesArrowsAgainstTheDirection) {
  EXPECT_EQ(violation("src/store/file_operations.cpp", "host/ui.h"),
            "src/store/file_operations.cpp includes host/ui.h: store may not use host");
  EXPECT_NE(violation("src/convert/master/journals.cpp", "convert/entries/act_line.h"), "");
  EXPECT_NE(violation("src/store/engine/table.cpp", "store/dossier_template.h"), "");
  EXPECT_NE(violation("src/base/run_context.h", "run/services.h"), "");
  EXPECT_NE(violation("tools/kestrel-dump/kestrel_dump.cpp", "app/cli/console_ui.h"), "");
  EXPECT_NE(violation("src/convert/steps.h", "base/ui.h"), "");  // a folder that is no layer

  EXPECT_EQ(violation("src/app/cli/main.cpp", "store/engine/sx.h"), "");
  EXPECT_EQ(violation("src/store/engine/path_case.cpp", "base/text.h"), "");
  EXPECT_EQ(violation("src/store/templates/template_catalog.cpp", "store/engine/field.h"), "");
  EXPECT_EQ(violation("tools/marlin-query/main.cpp", "run/access_source.h"), "");
  EXPECT_EQ(violation("tools/marlin-sample/main.cpp", "marlin_forms.h"), "");
}

TEST(Layers, EveryIncludeOfSourcesAndToolsPointsDownward) {
  const fs::path root = M2K_SOURCE_DIR;
  int includesRead = 0;
  std::vector<std::string> found = violationsIn(root, "src", includesRead);
  for (std::string& v : violationsIn(root, "tools", includesRead)) found.push_back(v);
  EXPECT_GT(includesRead, 200);  // the tree was read, not missed
  for (const std::string& v : found) ADD_FAILURE() << v;
}

}  // namespace
