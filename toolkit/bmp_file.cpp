// BMP file reading and writing of the toolkit bitmap (being written; see the BMP work).
#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/stream.h"

namespace pw {

void TBitmap::LoadFromStream(TStream&) { throw EInvalidGraphic(msg::kBitmapIllegal); }
void TBitmap::SaveToStream(TStream&) { throw EInvalidGraphic(msg::kBitmapIllegal); }
void TBitmap::SaveToFile(const std::string& fileName) { TGraphic::SaveToFile(fileName); }
void TBitmap::LoadFromPackedDib(const std::uint8_t*, std::size_t) { throw EInvalidGraphic(msg::kBitmapIllegal); }

}  // namespace pw
