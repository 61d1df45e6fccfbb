#include "toolkit/graphic.h"

#include "toolkit/errors.h"
#include "toolkit/stream.h"

namespace pw {

// The file is read whole with one read and decoded from memory.
void TGraphic::LoadFromFile(const std::string& fileName) {
  TMemoryStream file(ReadFileBytes(fileName));
  LoadFromStream(file);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, TFileMode::fmCreate);
  SaveToStream(file);
  file.Flush();
}

void TGraphic::Assign(const TGraphic* source) {
  if (source == nullptr) throw EConvertError(FormatMessage(msg::kAssignError, {"nil", ClassName()}));
  source->AssignTo(*this);
}

void TGraphic::AssignTo(TGraphic& dest) const {
  throw EConvertError(FormatMessage(msg::kAssignError, {ClassName(), dest.ClassName()}));
}

void TGraphic::Draw(TBitmap&, const TRect&) const {}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(*this);
}

void TGraphic::Progress(TProgressStage stage, std::uint8_t percentDone, bool redrawNow, const TRect& rect,
                        const std::string& message) {
  if (OnProgress) OnProgress(*this, stage, percentDone, redrawNow, rect, message);
}

}  // namespace pw
