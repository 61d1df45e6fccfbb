// Other programs' opinion of a PNG file: pngcheck's verdict and the pixels Pillow decodes.
// Each answers std::nullopt when its tool is not installed, so that a test can skip that check.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/color.h"

namespace pw::test {

inline std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a shell command; its standard output, or nullopt when it exits with another status.
inline std::optional<std::string> Output(const std::string& command, int expectedStatus = 0) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) return std::nullopt;
  return out;
}

inline bool HasPngcheck() { return std::filesystem::exists("/usr/bin/pngcheck"); }

// pngcheck's verdict on the file (CRCs, chunk order and contents, the zlib stream); its report
// on failure.
inline std::optional<std::string> PngcheckComplaint(const std::string& path) {
  if (!HasPngcheck()) return std::nullopt;
  const auto ok = Output("/usr/bin/pngcheck -q " + Quoted(path) + " 2>&1");
  if (ok) return std::string();
  return Output("/usr/bin/pngcheck -v " + Quoted(path) + " 2>&1", 1).value_or("pngcheck failed");
}

// Pillow (Debian's python3-pil) runs under the system's own interpreter.
constexpr const char* kSystemPython = "/usr/bin/python3";

inline bool HasPillow() {
  return std::filesystem::exists(kSystemPython) &&
         Output(std::string(kSystemPython) + " -c 'import PIL' 2>/dev/null").has_value();
}

// The pixels Pillow reads from the file, as colours row by row; nullopt without Pillow or when
// it cannot read the file.
inline std::optional<std::vector<TColor>> PillowPixels(const std::string& path) {
  if (!HasPillow()) return std::nullopt;
  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nim.load()\n"
      "sys.stdout.write(im.convert('RGB').tobytes().hex())\n";
  const auto hex = Output(std::string(kSystemPython) + " -c " + Quoted(script) + " " + Quoted(path) + " 2>/dev/null");
  if (!hex) return std::nullopt;
  std::vector<TColor> pixels;
  for (std::size_t i = 0; i + 6 <= hex->size(); i += 6) {
    const unsigned long rgb = std::stoul(hex->substr(i, 6), nullptr, 16);
    pixels.push_back(RGB(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                         static_cast<std::uint8_t>(rgb)));
  }
  return pixels;
}

}  // namespace pw::test
