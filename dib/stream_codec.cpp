// BMP stream reading and writing of the DIB image (being written).
#include "dib/qvdib.h"

namespace pw {

void TQvInternalDIB::LoadFromStream(TStream&) { throw EQvDIBInvalidDIBFile("TQvInternalDIB.LoadFromStream: not available yet"); }
void TQvInternalDIB::LoadFromClipboardFormat(const std::uint8_t*, std::size_t) {
  throw EQvDIBInvalidDIB("TQvInternalDIB.LoadFromClipboardFormat: not available yet");
}
void TQvDIB::SaveToStream(TStream&) { throw EQvDIBInvalidDIBFile("TQvDIB.SaveToStream: not available yet"); }

}  // namespace pw
