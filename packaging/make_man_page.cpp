// pw_make_man_page: build-time tool that writes a program's manual page from its --help output.
//
//   pw_make_man_page PROGRAM INCLUDE SOURCE OUT
//
// Runs `PROGRAM --help`, and `PROGRAM COMMAND --help` for every command its help lists, adds the
// sections of the INCLUDE file, and writes the page to OUT (gzip-compressed, without a time stamp,
// when OUT ends in .gz). SOURCE is the footer's "Panelwright VERSION". The page is written beside
// OUT and renamed into place, so a failed run leaves no half-written page.

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

#include "packaging/man_page.h"

namespace {

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct PipeCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) pclose(f);
  }
};

// The standard output of a command run through the shell; a non-zero exit status is a failure.
std::string Output(const std::string& command) {
  std::unique_ptr<std::FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
  const int status = pclose(pipe.release());
  if (status != 0) throw std::runtime_error(command + " failed");
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WritePlain(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

void WriteGzip(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb9");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  const int written = gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  if (gzclose(file) != Z_OK || written != static_cast<int>(text.size()))
    throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: pw_make_man_page PROGRAM INCLUDE SOURCE OUT\n";
    return 2;
  }
  const std::string program = argv[1];
  const std::string out = argv[4];
  const std::string temporary = out + ".tmp";
  try {
    pw::man::Page page;
    page.program = std::filesystem::path(program).filename().string();
    page.source = argv[3];
    page.help = Output(Quoted(program) + " --help");
    for (const std::string& name : pw::man::CommandNames(page.help))
      page.commands.emplace_back(name, Output(Quoted(program) + " " + Quoted(name) + " --help"));
    page.include = pw::man::ParseInclude(ReadFile(argv[2]));
    const std::string text = pw::man::RenderPage(page);
    if (out.ends_with(".gz"))
      WriteGzip(temporary, text);
    else
      WritePlain(temporary, text);
    std::filesystem::rename(temporary, out);
  } catch (const std::exception& e) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    std::cerr << "pw_make_man_page: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
