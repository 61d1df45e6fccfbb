// The README's examples run as written. Every fenced block of commands is read from the README
// and each command run by the shell, in order, in a fresh folder that holds the sample files the
// commands name, with this build's programs first on the PATH. A block of batch text becomes the
// talk.txt the commands read. The developer entry points (./dev) build and test this project
// itself, so they are named as not run; a block the test does not know fails it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

// The lines of each fenced block, a line ended by a backslash joined with the next.
std::vector<std::vector<std::string>> FencedBlocks(const std::string& text) {
  std::vector<std::vector<std::string>> blocks;
  bool inside = false;
  std::string pending;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.rfind("```", 0) == 0) {
      inside = !inside;
      if (inside) blocks.emplace_back();
      continue;
    }
    if (!inside) continue;
    if (!line.empty() && line.back() == '\\' && line.find(' ') != std::string::npos) {
      pending += line.substr(0, line.size() - 1);
      continue;
    }
    blocks.back().push_back(pending + line);
    pending.clear();
  }
  return blocks;
}

std::string FirstWord(const std::string& line) { return line.substr(0, line.find(' ')); }

void CopyFile(const fs::path& from, const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

TEST(Readme, EveryExampleCommandRunsAsWritten) {
  const std::string readme = clitest::ReadText("README.md");
  ASSERT_FALSE(readme.empty()) << "README.md is read from the project root";
  const fs::path samples = fs::absolute("resources/samples");
  const fs::path folder = fs::temp_directory_path() / ("pw-readme-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);

  // The sample files the commands name: a skin as PNG and BMP, the sample face sheet where the
  // commands look for it, a dialogue and a composed window to convert.
  CopyFile(samples / "blue.png", folder / "skin.png");
  CopyFile(samples / "blue.bmp", folder / "skin.bmp");
  CopyFile(samples / "faces.png", folder / "faces.png");
  CopyFile(samples / "faces.png", folder / "resources" / "samples" / "faces.png");
  std::ofstream(folder / "dialogue.txt") << "Good morning.\n---\nThe tower is\nthat way.\n";
  // The game examples read the free test game, where it is present, and an empty catalogue folder.
  const fs::path game = fs::absolute("../shared/games/testgame-2000");
  const bool haveGame = fs::is_directory(game);
  if (haveGame) fs::create_directory_symlink(game, folder / "mygame");
  fs::create_directories(folder / "po");
  const std::string path = fs::absolute(fs::path(PW_CLI_PATH).parent_path()).string() + ":" + std::getenv("PATH");
  const auto run = [&](const std::string& command) {
    const std::string shell = "cd " + clitest::ShellQuote(folder.string()) + " && PATH=" + clitest::ShellQuote(path) +
                              " timeout 300 sh -c " + clitest::ShellQuote(command) + " > stdout.txt 2> stderr.txt";
    const int status = std::system(shell.c_str());
    return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, clitest::ReadText(folder / "stderr.txt")};
  };
  ASSERT_EQ(run("panelwright-cli compose --text window -o window.bmp").first, 0);

  std::vector<std::string> commands;
  std::size_t ran = 0;
  for (const std::vector<std::string>& block : FencedBlocks(readme)) {
    if (block.empty()) continue;
    if (block.front().rfind("@face", 0) == 0) {  // the batch text of the examples
      std::ofstream talk(folder / "talk.txt");
      for (const std::string& line : block) talk << line << '\n';
      continue;
    }
    for (const std::string& line : block) {
      const std::string word = FirstWord(line);
      if (word == "./dev") {
        std::cout << "not run here: " << line << " (the developer entry point builds and tests this project)\n";
      } else if (line.find(" mygame/") != std::string::npos && !haveGame) {
        std::cout << "not run here: " << line << " (../shared/games/testgame-2000 is absent)\n";
      } else if (word == "panelwright-cli" || word == "mkdir") {
        commands.push_back(line);
      } else {
        ADD_FAILURE() << "a README command the test does not know: " << line;
      }
    }
  }
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const auto [exitCode, err] = run(command);
    // --check exits with 3 when some lines do not fit, as the test game's do.
    const bool check = command.find(" --check") != std::string::npos;
    EXPECT_EQ(exitCode, check ? 3 : 0) << err;
    // A long run of pictures tells its progress, a line a second, and nothing else.
    std::string rest;
    for (std::size_t at = 0; at < err.size();) {
      const std::size_t end = std::min(err.find('\n', at), err.size());
      const std::string line = err.substr(at, end - at);
      if (line.find(" pictures") == std::string::npos || line.find(" of ") == std::string::npos) rest += line + '\n';
      at = end + 1;
    }
    EXPECT_EQ(rest, "");
    ++ran;
  }
  EXPECT_GE(ran, 14u);  // every example of the command line's sections
  EXPECT_TRUE(fs::exists(folder / "talk.txt"));
  for (const char* made : {"win.bmp", "win.png", "out/win-002.bmp", "out/win-002.png", "window.dib", "out/talk-002.bmp",
                           "talk.gif", "talk.png"})
    EXPECT_TRUE(fs::exists(folder / made)) << made;
  if (haveGame) {
    for (const char* made : {"messages.jsonl", "out/index.html", "out/Map0003-EV0001-P01-C0001.gif"})
      EXPECT_TRUE(fs::exists(folder / made)) << made;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace pw
