// The one RLE8/RLE4 decoder of BMP pixel data, shared by the toolkit bitmap's reader and the
// DIB image's codec.
//
// An RLE stream is a sequence of byte pairs, rows bottom-up:
//   n >= 1, v     run of n pixels of value v (RLE4: the nibbles of v alternately, high first)
//   0, 0          end of line: column 0 of the next row
//   0, 1          end of bitmap
//   0, 2, dx, dy  delta: move right by dx and up by dy rows
//   0, n >= 3     absolute run: n literal pixels, padded to an even number of data bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pw {

enum class TRleFormat { kRle8, kRle4 };

enum class TRleResult {
  kEndOfBitmap,   // the end-of-bitmap code was reached
  kDataEnded,     // the input ended before an end-of-bitmap code (pixels so far are written)
  kBadEndOfLine,  // an end of line moved below the row after the last
  kBadDelta,      // a delta moved past the row end or below the row after the last
  kBadAbsolute,   // an absolute run does not fit into the rest of its row or lies below the last
  kBadRun,        // an encoded run does not fit into the rest of its row or lies below the last
};

// Where decoded pixels go. Rows are storage rows: row 0 is the first row of the stream (the
// bottom row of the picture). Rows must be zero-filled beforehand: pixels that the stream
// skips keep their value 0.
struct TRleTarget {
  std::uint8_t* row0 = nullptr;  // first byte of storage row 0
  std::ptrdiff_t stride = 0;     // from one storage row to the next; negative for top-down memory
  int width = 0;                 // pixels per row
  int height = 0;                // rows
};

// Decodes input into target, never reading past input nor writing outside the rows of target
// (each row must hold at least (width * bits + 7) / 8 bytes). Position rules: a run must end
// at or before the row end and start above the row after the last; an end of line or a delta
// may reach the row after the last, and a delta the row end. RLE4 rows end at the width
// rounded up to even; a pixel at an even column sets its whole byte (low nibble 0), one at an
// odd column sets the low nibble and keeps the high one. Decoding stops at the first code
// that breaks a rule, with the pixels before it written.
TRleResult DecodeRle(TRleFormat format, std::span<const std::uint8_t> input, const TRleTarget& target);

// Number of the "Bad RLE Data N" error that a result stands for: 1..4 for RLE8 (end of line,
// delta, absolute, run), 5..8 for RLE4; 0 for the other results.
int BadRleDataNumber(TRleFormat format, TRleResult result);

}  // namespace pw
