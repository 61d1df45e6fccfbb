// The conversion routines behind the pixel-format setter. Each reads a source block and
// returns a new block (header and colour table copied from the source, new pixel memory from
// the given useFMO), leaving the source untouched; a wrong source raises EQvDIBBadDIBType.
#pragma once

#include "dib/qvdib.h"

namespace pw {

struct TQvConvertContext {
  TQvConvertMode convertMode = qvCmLow;
  TColor monoKeyColor = clWhite;  // plain RGB
  TQvProgressStep progress;       // one call per leaf of a colour division; may be empty
  void Step() const {
    if (progress) progress();
  }
};

using TQvConvertRoutine = TQvDIBInfos (*)(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);

// Widening: indices copied into wider cells, or replaced by their colour-table entry.
TQvDIBInfos Convert1BitRGBTo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert1BitRGBTo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert4BitRGBTo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert1BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert4BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert8BitRGBToTrueColor(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);

// Narrowing: the key-colour rule to 1 bit, colour division to 16 or 256 colours, halftone.
TQvDIBInfos Convert4BitRGBTo1BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert8BitTo1BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertTrueColorTo1BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert8BitRGBTo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertTrueColorTo8BitRGBLow(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertTrueColorTo4BitRGBLow(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertTrueColorTo8BitRGBHigh(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertTrueColorTo4BitRGBHigh(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertToHalfTone(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos ConvertToHalfToneBW(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);

// RLE decoding and encoding.
TQvDIBInfos Convert8BitRLETo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert4BitRLETo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert8BitRGBTo8BitRLE(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);
TQvDIBInfos Convert4BitRGBTo4BitRLE(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context);

}  // namespace pw
