#include "io/depth.h"

namespace pw::io {

std::optional<TQvPixelFormat> BitDepthFormat(std::string_view bits) {
  if (bits == "1") return qvPf1Bit;
  if (bits == "4") return qvPf4Bit;
  if (bits == "8") return qvPf8Bit;
  if (bits == "24") return qvPf24Bit;
  return std::nullopt;
}

void ReduceDepth(TQvDIB& dib, TQvPixelFormat depth, bool high) {
  dib.ConvertMode = high ? qvCmHigh : qvCmLow;
  dib.SetPixelFormat(depth);
}

void ReduceDepth(TBitmap& picture, TQvPixelFormat depth, bool high) {
  TQvDIB dib;
  dib.Assign(&picture);
  ReduceDepth(dib, depth, high);
  TBitmap reduced;
  dib.AssignTo(reduced);
  picture = reduced;
}

}  // namespace pw::io
