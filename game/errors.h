// Failures of reading a game's files and every fixed text they carry, spelled once.
#pragma once

#include "toolkit/errors.h"

namespace pw::game {

namespace game_msg {
// Where a damaged file went wrong: the file, the byte offset, and one of the texts below.
inline constexpr const char* kDamaged = "%s is damaged at byte %s: %s";
inline constexpr const char* kNotHeader = "it does not start with the header %s";
inline constexpr const char* kCutShort = "the file ends inside a record";
inline constexpr const char* kLongNumber = "a number takes more than 5 bytes";
inline constexpr const char* kWideNumber = "a number is wider than 32 bits";
inline constexpr const char* kNegativeLength = "a length or count is negative (%s)";
inline constexpr const char* kLengthPastEnd = "a length of %s bytes runs past the %s bytes left";
inline constexpr const char* kCountPastEnd = "a count of %s is more than the %s bytes left could hold";
// Finding the files.
inline constexpr const char* kMissingFile = "the game folder has no %s";
inline constexpr const char* kMissingMap = "the map tree lists map %s, but the game folder has no %s";
// Gettext catalogues: file, line, and what is wrong.
inline constexpr const char* kCatalogue = "%s line %s: %s";
inline constexpr const char* kUnclosedString = "a string has no closing quote";
inline constexpr const char* kBadEscape = "unknown escape \\%s in a string";
inline constexpr const char* kNoString = "%s needs a string in double quotes";
inline constexpr const char* kAfterString = "text follows a string's closing quote";
inline constexpr const char* kStrayString = "a string continues nothing";
inline constexpr const char* kUnknownKeyword = "a line that is no keyword, string or comment";
inline constexpr const char* kOutOfOrder = "%s stands where it cannot";
inline constexpr const char* kNoMsgstr = "the entry has no msgstr";
inline constexpr const char* kNotUtf8 = "the text is not valid UTF-8";
// XYZ pictures.
inline constexpr const char* kXyzHeader = "%s is no XYZ picture: it does not start with XYZ1";
inline constexpr const char* kXyzSize = "%s is an XYZ picture of %sx%s pixels, which is empty or too large";
inline constexpr const char* kXyzData = "%s is a damaged XYZ picture: %s";
inline constexpr const char* kXyzShort = "its pixels end before %s bytes";
inline constexpr const char* kXyzLong = "its data holds more than %s bytes";
inline constexpr const char* kXyzInflate = "its zlib stream is damaged";
}  // namespace game_msg

// A game file or catalogue that cannot be read; the message names the file and the place.
class EGameError : public Exception { using Exception::Exception; };

}  // namespace pw::game
