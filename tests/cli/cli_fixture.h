// Runs panelwright-cli (PW_CLI_PATH) as a program, each test in a fresh folder of its own that
// is also the program's current directory.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pw::clitest {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    folder_ = std::filesystem::temp_directory_path() / ("pw-cli-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  // Runs the program with args, input on its standard input.
  Outcome Run(const std::vector<std::string>& args, const std::string& input = "") const {
    std::ofstream(folder_ / "stdin.txt", std::ios::binary) << input;
    // A program that hangs ends after five minutes with exit code 124 instead of stopping the tests.
    std::string command = "cd " + ShellQuote(folder_.string()) + " && timeout 300 " + ShellQuote(PW_CLI_PATH);
    for (const std::string& a : args) command += " " + ShellQuote(a);
    command += " < stdin.txt > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    Outcome o;
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadText(folder_ / "stdout.txt");
    o.err = ReadText(folder_ / "stderr.txt");
    return o;
  }

  std::filesystem::path folder_;
};

}  // namespace pw::clitest
