// The pixel-format setter: progress reporting and the conversion table that routes every pair
// of formats through its decoding, converting and encoding steps.
#include <vector>

#include "dib/convert.h"
#include "dib/messages.h"

namespace pw {

namespace {

using Steps = std::vector<TQvConvertRoutine>;

TQvConvertRoutine To4(TQvConvertMode mode) {
  return mode == qvCmHigh ? ConvertTrueColorTo4BitRGBHigh : ConvertTrueColorTo4BitRGBLow;
}

TQvConvertRoutine To8(TQvConvertMode mode) {
  return mode == qvCmHigh ? ConvertTrueColorTo8BitRGBHigh : ConvertTrueColorTo8BitRGBLow;
}

// Steps from an uncompressed format to an uncompressed format.
Steps PlainSteps(TQvPixelFormat from, TQvPixelFormat to, TQvConvertMode mode) {
  switch (from) {
    case qvPf1Bit:
      if (to == qvPf4Bit) return {Convert1BitRGBTo4BitRGB};
      if (to == qvPf8Bit) return {Convert1BitRGBTo8BitRGB};
      if (to == qvPf24Bit) return {Convert1BitRGBToTrueColor};
      break;
    case qvPf4Bit:
      if (to == qvPf1Bit) return {Convert4BitRGBTo1BitRGB};
      if (to == qvPf8Bit) return {Convert4BitRGBTo8BitRGB};
      if (to == qvPf24Bit) return {Convert4BitRGBToTrueColor};
      break;
    case qvPf8Bit:
      if (to == qvPf1Bit) return {Convert8BitTo1BitRGB};
      if (to == qvPf4Bit) return {Convert8BitRGBTo4BitRGB};
      if (to == qvPf24Bit) return {Convert8BitRGBToTrueColor};
      break;
    case qvPf24Bit:
      if (to == qvPf1Bit) return {ConvertTrueColorTo1BitRGB};
      if (to == qvPf4Bit) return {To4(mode)};
      if (to == qvPf8Bit) return {To8(mode)};
      break;
    default:
      break;
  }
  return {};
}

// The conversion table: decode an RLE source first, encode for an RLE target last.
Steps ConversionSteps(TQvPixelFormat from, TQvPixelFormat to, TQvConvertMode mode) {
  Steps steps;
  TQvPixelFormat plainFrom = from;
  if (from == qvPf4BitRLE) {
    steps.push_back(Convert4BitRLETo4BitRGB);
    plainFrom = qvPf4Bit;
  } else if (from == qvPf8BitRLE) {
    steps.push_back(Convert8BitRLETo8BitRGB);
    plainFrom = qvPf8Bit;
  }
  if (to == qvPfHalftone || to == qvPfHalftoneBW) {
    steps.push_back(to == qvPfHalftone ? ConvertToHalfTone : ConvertToHalfToneBW);
    return steps;
  }
  const TQvPixelFormat plainTo = to == qvPf4BitRLE ? qvPf4Bit : to == qvPf8BitRLE ? qvPf8Bit : to;
  for (TQvConvertRoutine r : PlainSteps(plainFrom, plainTo, mode)) steps.push_back(r);
  if (to == qvPf4BitRLE) steps.push_back(Convert4BitRGBTo4BitRLE);
  if (to == qvPf8BitRLE) steps.push_back(Convert8BitRGBTo8BitRLE);
  return steps;
}

struct ProgressEntry {
  TQvPixelFormat from, to;
  std::int32_t max;
  const char* message;
};

// Conversions that run a colour division report their progress.
constexpr ProgressEntry kProgressTable[] = {
    {qvPf8Bit, qvPf4Bit, 16, qvmsg::kProgress8To4},        {qvPf8Bit, qvPf4BitRLE, 16, qvmsg::kProgress8To4RLE},
    {qvPf8BitRLE, qvPf4Bit, 16, qvmsg::kProgress8RLETo4},  {qvPf8BitRLE, qvPf4BitRLE, 16, qvmsg::kProgress8RLETo4RLE},
    {qvPf24Bit, qvPf4Bit, 16, qvmsg::kProgress24To4},      {qvPf24Bit, qvPf4BitRLE, 16, qvmsg::kProgress24To4RLE},
    {qvPf24Bit, qvPf8Bit, 256, qvmsg::kProgress24To8},     {qvPf24Bit, qvPf8BitRLE, 256, qvmsg::kProgress24To8RLE},
};

const ProgressEntry* FindProgress(TQvPixelFormat from, TQvPixelFormat to) {
  for (const ProgressEntry& e : kProgressTable)
    if (e.from == from && e.to == to) return &e;
  return nullptr;
}

}  // namespace

void TQvInternalDIB::SetPixelsFormat(TQvPixelFormat format, TQvConvertMode convertMode, const TQvProgressStep& progress,
                                     TColor monoKeyColor) {
  const Steps steps = ConversionSteps(GetPixelFormat(), format, convertMode);
  if (steps.empty()) return;
  const TQvConvertContext context{convertMode, monoKeyColor, progress};
  // Every intermediate block is owned here and freed when the next step is done or one fails;
  // the storage changes only when the last step has succeeded.
  TQvDIBInfos result = steps.front()(DIBInfos, UseFMO, context);
  for (std::size_t i = 1; i < steps.size(); ++i) result = steps[i](result, UseFMO, context);
  Install(std::move(result));
  Palette.reset();
  PaletteChanged = true;
}

void TQvDIB::ProgressStep() {
  ++ProgressCount;
  if (ProgressCount == ProgressMax) return;
  Progress(TProgressStage::psRunning, static_cast<std::uint8_t>(ProgressCount * 100 / ProgressMax), false,
           TRect{0, 0, GetWidth(), GetHeight()}, ProgressMessage);
}

void TQvDIB::SetPixelFormat(TQvPixelFormat format) {
  Assert(InternalDIB != nullptr, qvmsg::kSetPixelFormatNil);
  const TQvPixelFormat current = GetPixelFormat();
  if (format == current) return;
  UniqueDIB();

  const ProgressEntry* progress = FindProgress(current, format);
  const TRect rect{0, 0, GetWidth(), GetHeight()};
  if (progress != nullptr) {
    ProgressMax = progress->max;
    ProgressMessage = progress->message;
    ProgressCount = 0;
    Progress(TProgressStage::psStarting, 0, false, rect, ProgressMessage);
  }
  try {
    InternalDIB->SetPixelsFormat(format, ConvertMode, [this] { ProgressStep(); }, ColorToRGB(MonoKeyColor));
  } catch (...) {
    UpdatePaletteModified();
    if (progress != nullptr) Progress(TProgressStage::psEnding, 100, true, rect, ProgressMessage);
    throw;
  }
  UpdatePaletteModified();
  if (progress != nullptr) Progress(TProgressStage::psEnding, 100, true, rect, ProgressMessage);
  UpdatePaletteModified();
  Changed();
}

}  // namespace pw
