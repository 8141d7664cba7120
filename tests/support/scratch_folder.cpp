#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iostream>
#include <random>
#include <system_error>

namespace testing_support {

namespace {

std::string runningTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("process");
}

bool runningTestFailed() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info && info->result()->Failed();
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& name) {
  std::string safe = name.empty() ? runningTestName() : name;
  for (char& c : safe)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("m2k_" + safe + "_" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  if (runningTestFailed()) {
    std::cerr << "Kept for inspection: " << path_.string() << "\n";
    return;
  }
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ScratchFolder::text() const {
  std::string s = path_.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

}  // namespace testing_support
