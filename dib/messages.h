// Every fixed text of the DIB library, spelled once.
#pragma once

namespace pw::qvmsg {

// Pixel memory.
inline constexpr const char* kCannotMakeFileMapping = "GetMemory: Cannot Make File Mapping Object";
inline constexpr const char* kCannotMakeView = "GetMemory: Cannot Make View of File Map";
inline constexpr const char* kFailedToUnmap = "ReleaseMemory: Failed To Unmap View of File map";
inline constexpr const char* kFailedToCloseMap = "ReleaseMemory: Failed To Close File Map";

// Storage and image.
inline constexpr const char* kCreateDIBInvalidParameters = "TQvInternalDIB.CreateDIB: Invalid Parameters";
inline constexpr const char* kSetWidthInvalid = "TQvDIB.SetWidth: Invalid Width";
inline constexpr const char* kSetHeightInvalid = "TQvDIB.SetHeight: Invalid Height";
inline constexpr const char* kSetBitCountInvalid = "TQvDIB.SetBitCount: Invalid BitCount";
inline constexpr const char* kGetPixelsBadType = "TQvDIB.GetPixels: Bad DIB Type";
inline constexpr const char* kSetPixelsBadType = "TQvDIB.SetPixels: Bad DIB Type";
inline constexpr const char* kGetPixelsRange = "TQvDIB.GetPixels: Pixel Position is Out of Range";
inline constexpr const char* kSetPixelsRange = "TQvDIB.SetPixels: Pixel Position is Out of Range";
inline constexpr const char* kInvalidDIB1Bit = "TQvInternalDIB.GetPixelFormat: Invalid DIB(1Bit)";
inline constexpr const char* kInvalidDIB4Bit = "TQvInternalDIB.GetPixelFormat: Invalid DIB(4Bit)";
inline constexpr const char* kInvalidDIB8Bit = "TQvInternalDIB.GetPixelFormat: Invalid DIB(8Bit)";
inline constexpr const char* kInvalidDIB24Bit = "TQvInternalDIB.GetPixelFormat: Invalid DIB(24Bit)";
inline constexpr const char* kInvalidDIBBitCount = "TQvInternalDIB.GetPixelFormat: Invalid DIB(BitCount)";
inline constexpr const char* kSetPaletteInvalid = "TQvDIB.SetPalette: Invalid Palette";
inline constexpr const char* kCanvasFailed = "TQvDIBCanvas.Create: Cannot Create Canvas";
inline constexpr const char* kCannotMakePalette = "GetPaletteFromDIBInfos: Cannot Make Palette";
inline constexpr const char* kCannotMakePalette1 = "TQvDIB.GetPalette: Cannot Make Palette(1)";
inline constexpr const char* kCannotCreateMemoryDC = "TQvDIBCanvas.Create: Cannot Create Memory DC";
inline constexpr const char* kClipboardOutOfMemory = "TQvInternalDIB.SaveToClipboardFormat: Out Of Memory";
inline constexpr const char* kClipboardInvalidFormat = "TQvDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data";
inline constexpr const char* kClipboardInvalidData = "TQvDIB.LoadFromClipboardFormat: Invalid Clipboard Data";
inline constexpr const char* kClipboardInvalidBitCount = "TQvInternalDIB.LoadFromClipboardFormat: Invalid biBitCount";

// Assertions (internal errors).
inline constexpr const char* kSaveToStreamNil = "TQvDIB.SaveToStream: InternalDIB Should not be Nil";
inline constexpr const char* kAssignNil = "TQvDIB.Assign: InternalDIB Should not be Nil";
inline constexpr const char* kAssignToNil = "TQvDIB.AssignTo: InternalDIB Should not be Nil";
inline constexpr const char* kSaveToClipboardNil = "TQvDIB.SaveToClipboardFormat: InternalDIB Should not be Nil";
inline constexpr const char* kGetEmptyNil = "TQvDIB.GetEmpty: InternalDIB Should not be Nil";
inline constexpr const char* kGetHeightNil = "TQvDIB.GetHeight: InternalDIB Should not be Nil";
inline constexpr const char* kGetWidthNil = "TQvDIB.GetWidth: InternalDIB Should not be Nil";
inline constexpr const char* kSetWidthNil = "TQvDIB.SetWidth: InternalDIB Should not be Nil";
inline constexpr const char* kSetHeightNil = "TQvDIB.SetHeight: InternalDIB Should not be Nil";
inline constexpr const char* kSetBitCountNil = "TQvDIB.SetBitCount: InternalDIB Should not be Nil";
inline constexpr const char* kGetPaletteNil = "TQvDIB.GetPalette: InternalDIB Should not be Nil";
inline constexpr const char* kSetPaletteNil = "TQvDIB.SetPalette: InternalDIB Should not be Nil";
inline constexpr const char* kGetBitCountNil = "TQvDIB.GetBitCount: InternalDIB Should not be Nil";
inline constexpr const char* kUniqueDIBNil = "TQvDIB.UniqueDIB: InternalDIB Should not be Nil";
inline constexpr const char* kGetUseFMONil = "TQvDIB.GetUseFMO: InternalDIB Should not be Nil";
inline constexpr const char* kSetPixelFormatNil = "TQvDIB.SetPixelFormat: InternalDIB Should not be Nil";
inline constexpr const char* kReleaseInternalDIBNil = "TQVDIB.ReleaseInternalDIB: InternalDIB should not be Nil";
inline constexpr const char* kUpdatePaletteRefCount = "TQvInternalDIB.UpdatePalette: RefCount Must be 1";
inline constexpr const char* kUpdatePaletteModifiedRefCount = "TQvDIB.UpdatePaletteModified RefCount Must be 1";

// Progress messages of the pixel-format setter.
inline constexpr const char* kProgress8To4 = "PixelFormat 8Bit -> 4Bit";
inline constexpr const char* kProgress8To4RLE = "PixelFormat 8Bit -> 4BitRLE";
inline constexpr const char* kProgress8RLETo4 = "PixelFormat 8BitRLE -> 4Bit";
inline constexpr const char* kProgress8RLETo4RLE = "PixelFormat 8BitRLE -> 4BitRLE";
inline constexpr const char* kProgress24To4 = "PixelFormat 24Bit -> 4Bit";
inline constexpr const char* kProgress24To4RLE = "PixelFormat 24Bit -> 4BitRLE";
inline constexpr const char* kProgress24To8 = "PixelFormat 24Bit -> 8Bit";
inline constexpr const char* kProgress24To8RLE = "PixelFormat 24Bit -> 8BitRLE";

// Widening conversions.
inline constexpr const char* kConvert1To4Bad = "Convert1BitRGBTo4BitRGB: Invalid Bitcount & Compression Combination";
inline constexpr const char* kConvert1To8Bad = "Convert1BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination";
inline constexpr const char* kConvert4To8Bad = "Convert4BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination";
inline constexpr const char* kConvert1To24Bad = "Convert1BitRGBToTrueColor: Invalid Bitcount & Compression Combination";
inline constexpr const char* kConvert4To24Bad = "Convert4BitRGBToTrueColor: Invalid Bitcount & Compression Combination";
inline constexpr const char* kConvert8To24Bad = "Convert8BitRGBToTrueColor: Invalid Bitcount & Compression Combination";

// The colour reduction, stream codec and RLE messages are added below by their modules.

// Colour reduction and halftone.
inline constexpr const char* kConvert4To1Bad = "Convert4BitRGBTo1BitRGB: Invalid Bitcount";
inline constexpr const char* kConvert8To1Bad = "Convert8BitTo1BitRGB: Invalid Bitcount or Compression";
inline constexpr const char* kConvert24To1Bad = "ConvertTrueColorTo1BitRGB: Invalid Bitcount";
inline constexpr const char* kConvert8To4Bad = "Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression";
inline constexpr const char* kConvert24To8LowBad = "ConvertTrueColorTo8BitRGBLow: Invalid Bitcount";
inline constexpr const char* kConvert24To4LowBad = "ConvertTrueColorTo4BitRGBLow: Invalid Bitcount";
inline constexpr const char* kConvert24To8HighBad = "ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount";
inline constexpr const char* kConvert24To4HighBad = "ConvertTrueColorTo4BitRGBHigh: Invalid Bitcount";
inline constexpr const char* kHalftoneBad = "ConvertToHalfTone: Invalid Bitcount or Compression";
inline constexpr const char* kHalftoneBWBad = "ConvertToHalfToneBW: Invalid Bitcount or Compression";

// Stream codec.
inline constexpr const char* kLoadFileTypeInvalid = "TQvInternalDIB.LoadFromFile: File type is invalid";
inline constexpr const char* kLoadInvalidBitCout = "TQvInternalDIB.LoadFromStream: Invalid BitCout";
inline constexpr const char* kLoadInvalidBitCount = "TQvInternalDIB.LoadFromStream: Invalid BitCount";
inline constexpr const char* kLoadOffBitsTooSmall = "TQvInternalDIB.LoadFromFile: bfOffBits is too small";
inline constexpr const char* kLoadInvalidHeaderSize = "TQvInternalDIB.LoadFromStream: Invalid Bitmap Header Size";
inline constexpr const char* kLoadInvalidWidthHeight = "TQvInternalDIB.LoadFromStream: Invalid Width or Height";
inline constexpr const char* kLoadInvalidMasks = "TQvInternalDIB.LoadFromStream: Invalid Masks";
inline constexpr const char* kLoadPixelDataTooSmall = "TQvInternalDIB.LoadFromStream: Pixel Data is too small";

// RLE codecs.
inline constexpr const char* kRle8DecodeBad = "Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination";
inline constexpr const char* kRle4DecodeBad = "Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination";
inline constexpr const char* kRle8EncodeBad = "Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination";
inline constexpr const char* kRle4EncodeBad = "Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination";
inline constexpr const char* kBadRleData1 = "Convert8BitRLETo8BitRGB: Bad RLE Data 1";
inline constexpr const char* kBadRleData2 = "Convert8BitRLETo8BitRGB: Bad RLE Data 2";
inline constexpr const char* kBadRleData3 = "Convert8BitRLETo8BitRGB: Bad RLE Data 3";
inline constexpr const char* kBadRleData4 = "Convert8BitRLETo8BitRGB: Bad RLE Data 4";
inline constexpr const char* kBadRleData5 = "Convert4BitRLETo4BitRGB: Bad RLE Data 5";
inline constexpr const char* kBadRleData6 = "Convert4BitRLETo4BitRGB: Bad RLE Data 6";
inline constexpr const char* kBadRleData7 = "Convert4BitRLETo4BitRGB: Bad RLE Data 7";
inline constexpr const char* kBadRleData8 = "Convert4BitRLETo4BitRGB: Bad RLE Data 8";
inline constexpr const char* kRle8DataEnded = "Convert8BitRLETo8BitRGB: RLE Data Ends before End of Bitmap";
inline constexpr const char* kRle4DataEnded = "Convert4BitRLETo4BitRGB: RLE Data Ends before End of Bitmap";
inline constexpr const char* kRle8CompressionFailed = "Convert8BitRGBTo8BitRLE: Compression Failed";
inline constexpr const char* kRle4CompressionFailed = "Convert4BitRGBTo4BitRLE: Compression Failed";

}  // namespace pw::qvmsg
