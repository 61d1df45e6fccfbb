// Widening conversions: every colour is kept. Indices move into wider cells with the colour
// table unchanged, or are replaced by their colour-table entry (the table stays as an optional
// table of the 24-bit result). Rows are converted in storage order, so the row order is kept.
#include <vector>

#include "dib/convert.h"
#include "dib/index_rows.h"
#include "dib/messages.h"

namespace pw {

namespace {

TQvDIBInfos WidenIndices(const TQvDIBInfos& source, int fromBits, int toBits, bool useFMO) {
  TQvDIBInfos out = rows::NewResult(source, toBits, useFMO);
  const std::size_t srcStride = source.Stride(), dstStride = out.Stride();
  const int width = source.Width();
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  for (int r = 0; r < source.Height(); ++r) {
    rows::UnpackIndices(rows::StorageRow(source, srcStride, r), width, fromBits, indices.data());
    rows::PackIndices(indices.data(), width, toBits, rows::StorageRow(out, dstStride, r));
  }
  return out;
}

TQvDIBInfos ExpandToTrueColor(const TQvDIBInfos& source, int fromBits, bool useFMO) {
  TQvDIBInfos out = rows::NewResult(source, 24, useFMO);
  const std::size_t srcStride = source.Stride(), dstStride = out.Stride();
  const int width = source.Width();
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  for (int r = 0; r < source.Height(); ++r) {
    rows::UnpackIndices(rows::StorageRow(source, srcStride, r), width, fromBits, indices.data());
    std::uint8_t* dst = rows::StorageRow(out, dstStride, r);
    for (int x = 0; x < width; ++x) {
      const TRGBQuad& c = source.colorTable[indices[static_cast<std::size_t>(x)]];
      dst[3 * x] = c.rgbBlue;
      dst[3 * x + 1] = c.rgbGreen;
      dst[3 * x + 2] = c.rgbRed;
    }
  }
  return out;
}

}  // namespace

TQvDIBInfos Convert1BitRGBTo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  rows::RequirePlain(source, 1, qvmsg::kConvert1To4Bad);
  return WidenIndices(source, 1, 4, useFMO);
}

TQvDIBInfos Convert1BitRGBTo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  rows::RequirePlain(source, 1, qvmsg::kConvert1To8Bad);
  return WidenIndices(source, 1, 8, useFMO);
}

TQvDIBInfos Convert4BitRGBTo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  rows::RequirePlain(source, 4, qvmsg::kConvert4To8Bad);
  return WidenIndices(source, 4, 8, useFMO);
}

TQvDIBInfos Convert1BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  rows::RequirePlain(source, 1, qvmsg::kConvert1To24Bad);
  return ExpandToTrueColor(source, 1, useFMO);
}

TQvDIBInfos Convert4BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  rows::RequirePlain(source, 4, qvmsg::kConvert4To24Bad);
  return ExpandToTrueColor(source, 4, useFMO);
}

TQvDIBInfos Convert8BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  rows::RequirePlain(source, 8, qvmsg::kConvert8To24Bad);
  return ExpandToTrueColor(source, 8, useFMO);
}

}  // namespace pw
