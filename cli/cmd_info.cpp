// panelwright-cli info: the size, pixel format, stored compression, colour-table size and
// transparent colour of a picture as the program reads it.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "io/load_picture.h"
#include "toolkit/bitmap.h"

namespace pw::cli {

const char* const kInfoUsage =
    "usage: panelwright-cli info FILE\n"
    "\n"
    "Reads FILE the way the program reads a system graphic (.bmp, .png or .dib, by extension)\n"
    "and prints one line:\n"
    "\n"
    "  WIDTH HEIGHT BITS COMPRESSION PALETTE TRANSPARENT\n"
    "\n"
    "  BITS          bits per pixel of the pixel format: 1, 4, 8, 15 (5-5-5), 16 (5-6-5), 24 or 32\n"
    "  COMPRESSION   as stored in the file: none, rle8, rle4 or bitfields\n"
    "  PALETTE       number of colour-table entries\n"
    "  TRANSPARENT   the transparent colour as six hex digits RRGGBB, or - when there is none\n";

namespace {

// Bits of the format's pixels, with 5-5-5 pixels (stored in 16 bits) shown as 15.
int FormatBits(TPixelFormat format) { return format == TPixelFormat::pf15bit ? 15 : BitsPerPixel(format); }

const char* CompressionName(const TBitmap& picture) {
  std::uint32_t compression = picture.GetFileCompression();
  if (compression == 0 && picture.GetEncodedBits() != nullptr) compression = picture.GetEncodedBits()->compression;
  switch (compression) {
    case 1: return "rle8";
    case 2: return "rle4";
    case 3: return "bitfields";
    default: return "none";
  }
}

std::string TransparentText(const TBitmap& picture) {
  if (!picture.GetTransparent()) return "-";
  const TColor c = picture.GetTransparentColor();
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

}  // namespace

int RunInfo(const Args& args) {
  std::string file;
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') return Fail("unknown option '" + a + "'", kExitUsage);
    if (!file.empty()) return Fail("info takes one FILE", kExitUsage);
    file = a;
  }
  if (file.empty()) return Fail("info needs a FILE", kExitUsage);
  const TBitmap picture = io::LoadPicture(file);
  std::printf("%d %d %d %s %zu %s\n", picture.GetWidth(), picture.GetHeight(), FormatBits(picture.GetPixelFormat()),
              CompressionName(picture), picture.GetPalette().size(), TransparentText(picture).c_str());
  return std::fflush(stdout) == 0 ? kExitOk : Fail("cannot write to standard output");
}

}  // namespace pw::cli
