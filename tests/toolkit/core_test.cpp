// Streams, bitmaps, the picture registry and the toolkit's messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <functional>
#include <optional>
#include <thread>

#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/picture.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

TEST(Messages, FileErrorsNameTheFileWithTheToolkitWording) {
  EXPECT_STREQ(EFOpenError("a.bmp").what(), "File a.bmp  isn't opened.");
  EXPECT_STREQ(EFCreateError("/x/y.bmp").what(), "File /x/y.bmp can't be made.");
  EXPECT_STREQ(ERangeError().what(), "Range check error");
  EXPECT_STREQ(EReadError().what(), "Stream read error");
  EXPECT_EQ(FormatMessage("%s-%s-%s", {"a", "b"}), "a-b-%s");
  EXPECT_STREQ(EFileTooLarge("/dev/zero", 12).what(), "/dev/zero holds more than 12 bytes, more than any file Panelwright reads");
}

// Every failure reaches users as a sentence: memory that ran out is never "std::bad_alloc".
TEST(Messages, UserMessagesOfEveryFailure) {
  const std::string memory = "There is not enough memory to finish this; nothing was changed.";
  const struct {
    const char* name;
    std::exception_ptr failure;
    std::string message;
  } cases[] = {
      {"out of memory", std::make_exception_ptr(std::bad_alloc()), memory},
      {"a buffer larger than any", std::make_exception_ptr(std::length_error("vector::_M_default_append")), memory},
      {"a library's failure", std::make_exception_ptr(EReadError()), "Stream read error"},
      {"a standard failure", std::make_exception_ptr(std::runtime_error("stopped")), "stopped"},
      {"no exception class at all", std::make_exception_ptr(42), "Unknown error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserMessage(c.failure), c.message) << c.name;
  }
}

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
  m.WriteBuffer(bytes, 5);
  EXPECT_EQ(m.GetSize(), 5);
  m.SetPosition(3);
  std::uint8_t out[2] = {};
  m.ReadBuffer(out, 2);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[1], 5);
  EXPECT_THROW(m.ReadBuffer(out, 1), EReadError);  // at the end
  m.Seek(-4, TSeekOrigin::soEnd);
  EXPECT_EQ(m.GetPosition(), 1);
  m.Seek(10, TSeekOrigin::soBeginning);
  m.WriteBuffer(bytes, 1);  // writing past the end grows the stream with zeros
  EXPECT_EQ(m.GetSize(), 11);
  EXPECT_EQ(m.Bytes()[7], 0);
}

TEST(Streams, FileStreamsReportOpenAndCreateFailures) {
  const fs::path dir = fs::temp_directory_path() / "pw_core_test";
  fs::create_directories(dir);
  const std::string missing = (dir / "missing.bin").string();
  try {
    TFileStream f(missing, TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + missing + "  isn't opened.");
  }
  EXPECT_THROW(TFileStream((dir / "no" / "such.bin").string(), TFileMode::fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.string(), TFileMode::fmOpenRead), EFOpenError);  // a folder is no file

  const std::string path = (dir / "data.bin").string();
  {
    TFileStream f(path, TFileMode::fmCreate);
    f.WriteBuffer("abc", 3);
  }
  EXPECT_EQ(ReadFileBytes(path), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
  fs::remove_all(dir);
}

std::vector<std::uint8_t> Numbered(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  TFileStream f(path, TFileMode::fmCreate);
  f.WriteBuffer(bytes.data(), bytes.size());
  f.Flush();
}

// The whole-file reader at the edges a one-buffer read can get wrong.
TEST(Streams, WholeFileReadsAtTheirEdges) {
  const fs::path dir = fs::temp_directory_path() / ("pw_core_edges_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* name;
    // Makes the file and returns its name; a pipe's writer runs in the thread given.
    std::function<std::string(std::optional<std::thread>&)> make;
    std::optional<std::vector<std::uint8_t>> bytes;  // none: EFOpenError, or EFileTooLarge with a ceiling
    std::size_t ceiling = kMaxFileBytes;
  };
  // A named pipe fed n bytes by a thread of its own.
  const auto pipe = [&](const char* leaf, std::size_t n) {
    return [&, leaf, n](std::optional<std::thread>& writer) {
      const std::string name = (dir / leaf).string();
      EXPECT_EQ(::mkfifo(name.c_str(), 0600), 0);
      writer.emplace([name, n] {
        const int fd = ::open(name.c_str(), O_WRONLY);
        const auto bytes = Numbered(n);
        for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
          const ssize_t written = ::write(fd, bytes.data() + done, std::min<std::size_t>(bytes.size() - done, 7000));
          if (written <= 0) break;
          done += static_cast<std::size_t>(written);
        }
        ::close(fd);
      });
      return name;
    };
  };
  const std::vector<Case> cases = {
      {"empty file", [&](auto&) { WriteBytes((dir / "empty").string(), {}); return (dir / "empty").string(); },
       std::vector<std::uint8_t>{}},
      {"one byte", [&](auto&) { WriteBytes((dir / "one").string(), {9}); return (dir / "one").string(); },
       std::vector<std::uint8_t>{9}},
      {"larger than any buffer", [&](auto&) { WriteBytes((dir / "big").string(), Numbered(300001)); return (dir / "big").string(); },
       Numbered(300001)},
      {"named pipe, read as a stream",
       [&](std::optional<std::thread>& writer) {
         const std::string name = (dir / "fifo").string();
         EXPECT_EQ(::mkfifo(name.c_str(), 0600), 0);
         writer.emplace([name] {
           const int fd = ::open(name.c_str(), O_WRONLY);
           const auto bytes = Numbered(150000);
           for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
             const ssize_t n = ::write(fd, bytes.data() + done, std::min<std::size_t>(bytes.size() - done, 7000));
             if (n <= 0) break;
             done += static_cast<std::size_t>(n);
           }
           ::close(fd);
         });
         return name;
       },
       Numbered(150000)},
      {"folder", [&](auto&) { return dir.string(); }, std::nullopt},
      {"missing file", [&](auto&) { return (dir / "missing").string(); }, std::nullopt},
      // Reads of unknown size stop at their ceiling; a regular file is read at the size it has.
      {"named pipe of exactly the ceiling", pipe("fifo-at", 100000), Numbered(100000), 100000},
      {"named pipe one byte past the ceiling", pipe("fifo-past", 100001), std::nullopt, 100000},
      {"endless device", [&](auto&) { return std::string("/dev/zero"); }, std::nullopt, 70000},
      {"regular file past the ceiling", [&](auto&) { WriteBytes((dir / "long").string(), Numbered(5000)); return (dir / "long").string(); },
       Numbered(5000), 4000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::thread> writer;
    const std::string name = c.make(writer);
    if (c.bytes) {
      EXPECT_EQ(ReadFileBytes(name, c.ceiling), *c.bytes);
    } else if (c.ceiling != kMaxFileBytes) {
      try {
        ReadFileBytes(name, c.ceiling);
        ADD_FAILURE() << "read past the ceiling";
      } catch (const EFileTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), name + " holds more than " + std::to_string(c.ceiling) +
                                             " bytes, more than any file Panelwright reads");
      }
    } else {
      EXPECT_THROW(ReadFileBytes(name), EFOpenError);
    }
    if (writer) writer->join();
  }
  fs::remove_all(dir);
}

// A file whose size changed after it was taken: the bytes it holds at its end are read.
TEST(Streams, ReadToEndTakesTheBytesTheFileHolds) {
  const fs::path path = fs::temp_directory_path() / ("pw_core_size_" + std::to_string(::getpid()));
  struct Case {
    const char* name;
    std::size_t held, expected;
  };
  for (const Case& c : {Case{"grew", 70000, 10}, Case{"grew by one byte", 11, 10}, Case{"shrank", 10, 70000},
                        Case{"shrank to nothing", 0, 5}, Case{"size unknown", 5, 0}, Case{"as expected", 4096, 4096}}) {
    SCOPED_TRACE(c.name);
    WriteBytes(path.string(), Numbered(c.held));
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadToEnd(fd, c.expected), Numbered(c.held));
    ::close(fd);
  }
  fs::remove(path);
}

// A BMP file that ends before the pixels its header claims reads from memory as it reads from
// the file stream: the rows that are there, the rest zero.
TEST(Streams, ShortBitmapFileReadsAsItsStream) {
  const fs::path path = fs::temp_directory_path() / ("pw_core_short_" + std::to_string(::getpid()) + ".bmp");
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) picture.SetPixelColor(x, y, RGB(x * 40, y * 60, 7));
  TMemoryStream whole;
  picture.SaveToStream(whole);
  struct Case {
    std::size_t cut;
    TColor topLeft;  // the top row is the last in the file
  };
  for (const auto [cut, topLeft] : {Case{1, RGB(0, 0, 7)}, Case{16, 0}, Case{17, 0}, Case{40, 0}}) {
    SCOPED_TRACE(cut);
    std::vector<std::uint8_t> bytes = whole.Bytes();
    bytes.resize(bytes.size() - cut);
    WriteBytes(path.string(), bytes);
    TBitmap fromFile, fromStream;
    fromFile.LoadFromFile(path.string());
    TFileStream stream(path.string(), TFileMode::fmOpenRead);
    fromStream.LoadFromStream(stream);
    ASSERT_EQ(fromFile.GetWidth(), 5);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(fromFile.GetPixelColor(x, y), fromStream.GetPixelColor(x, y)) << x << "," << y;
    EXPECT_EQ(fromFile.GetPixelColor(0, 0), topLeft);
  }
  fs::remove(path);
}

TEST(Bitmap, CopiesShareUntilOneWrites) {
  TBitmap a;
  a.SetPixelFormat(TPixelFormat::pf24bit);
  a.SetSize(3, 2);
  a.SetPixelColor(1, 1, 0x123456);
  TBitmap b = a;
  b.SetPixelColor(1, 1, 0x654321);
  EXPECT_EQ(a.GetPixelColor(1, 1), 0x123456);
  EXPECT_EQ(b.GetPixelColor(1, 1), 0x654321);
}

TEST(Bitmap, AssignTakesTheTransparencyAttributes) {
  TBitmap a;
  a.SetPixelFormat(TPixelFormat::pf8bit);
  a.SetSize(2, 2);
  a.SetTransparent(true);
  a.SetTransparentColor(0x00FF00);
  TBitmap b;
  b.Assign(&a);
  EXPECT_TRUE(b.GetTransparent());
  EXPECT_EQ(b.GetTransparentColor(), 0x00FF00);
  EXPECT_EQ(b.GetTransparentMode(), TTransparentMode::tmFixed);
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf8bit);
  b.Assign(nullptr);
  EXPECT_TRUE(b.GetEmpty());
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pfDevice);
}

struct FormatCase {
  TPixelFormat format;
  int bits;
  std::size_t strideFor5;
};

class BitmapFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(BitmapFormats, RowsArePaddedAndColoursSurviveTheDirectFormats) {
  const FormatCase c = GetParam();
  TBitmap b;
  b.SetPixelFormat(c.format);
  b.SetSize(5, 3);
  EXPECT_EQ(b.GetBitsPerPixel(), c.bits);
  EXPECT_EQ(b.GetStride(), c.strideFor5);
  b.SetPixelColor(4, 2, 0xFFFFFF);
  EXPECT_EQ(b.GetPixelColor(4, 2), 0xFFFFFF);
  EXPECT_EQ(b.GetPixelColor(0, 0), 0x000000);
  EXPECT_EQ(b.GetPixelColor(5, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, BitmapFormats,
    ::testing::Values(FormatCase{TPixelFormat::pf1bit, 1, 4}, FormatCase{TPixelFormat::pf4bit, 4, 4},
                      FormatCase{TPixelFormat::pf8bit, 8, 8}, FormatCase{TPixelFormat::pf15bit, 16, 12},
                      FormatCase{TPixelFormat::pf16bit, 16, 12}, FormatCase{TPixelFormat::pf24bit, 24, 16},
                      FormatCase{TPixelFormat::pf32bit, 32, 20}));

TEST(Bitmap, FormatChangesConvertByColour) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(2, 1);
  b.SetPixelColor(0, 0, 0xFFFFFF);
  b.SetPixelColor(1, 0, 0x000010);
  b.SetPixelFormat(TPixelFormat::pf1bit);
  EXPECT_EQ(b.GetPixelColor(0, 0), 0xFFFFFF);
  EXPECT_EQ(b.GetPixelColor(1, 0), 0x000000);
  b.SetPixelFormat(TPixelFormat::pf32bit);
  EXPECT_EQ(b.GetPixelColor(0, 0), 0xFFFFFF);
}

TEST(Bitmap, ResizingKeepsTheOverlap) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf8bit);
  b.SetSize(4, 4);
  b.ScanLine(1)[1] = 7;
  b.SetSize(2, 2);
  EXPECT_EQ(b.ScanLine(1)[1], 7);
  b.SetSize(6, 3);
  EXPECT_EQ(b.ScanLine(1)[1], 7);
  EXPECT_EQ(b.ScanLine(2)[5], 0);
}

TEST(Picture, RegistryFindsFormatsByExtension) {
  EXPECT_NE(TPicture::FindFormat("x.BMP"), nullptr);
  EXPECT_EQ(TPicture::FindFormat("x.test"), nullptr);
  {
    TFileFormatRegistration reg("test", "Test pictures", [] { return std::unique_ptr<TGraphic>(std::make_unique<TBitmap>()); });
    const TFileFormat* f = TPicture::FindFormat("dir.bmp/picture.TeSt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->description, "Test pictures");
  }
  EXPECT_EQ(TPicture::FindFormat("x.test"), nullptr);
  EXPECT_EQ(FileExtension("dir.x/file"), "");
  EXPECT_EQ(FileExtension("dir/.PNG"), "png");  // a name of a dot and an extension has that extension
  TPicture picture;
  EXPECT_THROW(picture.LoadFromFile("picture.unknown"), EInvalidGraphic);
}

}  // namespace
}  // namespace pw
