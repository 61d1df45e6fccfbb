// Widening conversions: every colour is kept. Indices move into wider cells with the colour
// table unchanged, or are replaced by their colour-table entry (the table stays as an optional
// table of the 24-bit result). Rows are converted in storage order, so the row order is kept.
#include <cstring>

#include "dib/convert.h"
#include "dib/messages.h"

namespace pw {

namespace {

void RequirePlain(const TQvDIBInfos& source, int bitCount, const char* message) {
  if (source.header.biBitCount != bitCount || source.header.biCompression != BI_RGB) throw EQvDIBBadDIBType(message);
}

unsigned IndexAt(const std::uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? row[x >> 1] & 0x0Fu : static_cast<unsigned>(row[x >> 1] >> 4);
    default: return row[x];
  }
}

// A block like source with another bit count and fresh zeroed pixels.
TQvDIBInfos WidenedLayout(const TQvDIBInfos& source, int bitCount, bool useFMO) {
  const std::size_t size = DIBStride(source.Width(), bitCount) * static_cast<std::size_t>(source.Height());
  TQvDIBInfos out = source.CloneLayout(size, useFMO);
  out.header.biBitCount = static_cast<std::uint16_t>(bitCount);
  out.header.biCompression = BI_RGB;
  out.header.biSizeImage = 0;
  return out;
}

TQvDIBInfos WidenIndices(const TQvDIBInfos& source, int fromBits, int toBits, bool useFMO) {
  TQvDIBInfos out = WidenedLayout(source, toBits, useFMO);
  const std::size_t srcStride = source.Stride(), dstStride = out.Stride();
  const int width = source.Width();
  for (int r = 0; r < source.Height(); ++r) {
    const std::uint8_t* src = source.Bits() + srcStride * static_cast<std::size_t>(r);
    std::uint8_t* dst = out.Bits() + dstStride * static_cast<std::size_t>(r);
    for (int x = 0; x < width; ++x) {
      const unsigned v = IndexAt(src, x, fromBits);
      if (toBits == 8)
        dst[x] = static_cast<std::uint8_t>(v);
      else
        dst[x >> 1] = static_cast<std::uint8_t>(dst[x >> 1] | ((x & 1) ? v : v << 4));
    }
  }
  return out;
}

TQvDIBInfos ExpandToTrueColor(const TQvDIBInfos& source, int fromBits, bool useFMO) {
  TQvDIBInfos out = WidenedLayout(source, 24, useFMO);
  const std::size_t srcStride = source.Stride(), dstStride = out.Stride();
  const int width = source.Width();
  for (int r = 0; r < source.Height(); ++r) {
    const std::uint8_t* src = source.Bits() + srcStride * static_cast<std::size_t>(r);
    std::uint8_t* dst = out.Bits() + dstStride * static_cast<std::size_t>(r);
    for (int x = 0; x < width; ++x) {
      const TRGBQuad& c = source.colorTable[IndexAt(src, x, fromBits)];
      dst[3 * x] = c.rgbBlue;
      dst[3 * x + 1] = c.rgbGreen;
      dst[3 * x + 2] = c.rgbRed;
    }
  }
  return out;
}

}  // namespace

TQvDIBInfos Convert1BitRGBTo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  RequirePlain(source, 1, qvmsg::kConvert1To4Bad);
  return WidenIndices(source, 1, 4, useFMO);
}

TQvDIBInfos Convert1BitRGBTo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  RequirePlain(source, 1, qvmsg::kConvert1To8Bad);
  return WidenIndices(source, 1, 8, useFMO);
}

TQvDIBInfos Convert4BitRGBTo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  RequirePlain(source, 4, qvmsg::kConvert4To8Bad);
  return WidenIndices(source, 4, 8, useFMO);
}

TQvDIBInfos Convert1BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  RequirePlain(source, 1, qvmsg::kConvert1To24Bad);
  return ExpandToTrueColor(source, 1, useFMO);
}

TQvDIBInfos Convert4BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  RequirePlain(source, 4, qvmsg::kConvert4To24Bad);
  return ExpandToTrueColor(source, 4, useFMO);
}

TQvDIBInfos Convert8BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  RequirePlain(source, 8, qvmsg::kConvert8To24Bad);
  return ExpandToTrueColor(source, 8, useFMO);
}

}  // namespace pw
