#include "cli/depth.h"

namespace pw::cli {

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

}  // namespace pw::cli
