// Exceptions of the toolkit layer. Every failure in Panelwright's libraries is one of these
// (or a subclass defined by a library); what() returns the exact text the user sees.
#pragma once

#include <cstddef>
#include <exception>
#include <initializer_list>
#include <string>

namespace pw {

// Fixed texts of the toolkit, spelled once.
namespace msg {
inline constexpr const char* kRangeCheckError = "Range check error";
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kFileOpenError = "File %s  isn't opened.";   // two blanks, as shown to users
inline constexpr const char* kFileCreateError = "File %s can't be made.";
inline constexpr const char* kFileTooLarge = "%s holds more than %s bytes, more than any file Panelwright reads";
// Memory that ran out, as every program tells it.
inline constexpr const char* kNotEnoughMemory = "There is not enough memory to finish this; nothing was changed.";
// A failure that carries no message of its own.
inline constexpr const char* kUnknownFailure = "Unknown error";
inline constexpr const char* kBitmapIllegal = "A bitmap image is illegal.";
inline constexpr const char* kOutOfMemory = "Out of memory";
inline constexpr const char* kAssignError = "Cannot assign a %s to a %s.";
// Shift-JIS text and fonts.
inline constexpr const char* kNoShiftJisForm = "%s has no Shift-JIS (code page 932) form";
inline constexpr const char* kInvalidUtf8 = "The text is not valid UTF-8 at byte %s";
inline constexpr const char* kInvalidShiftJis = "The text is not valid Shift-JIS (code page 932) at byte %s";
inline constexpr const char* kNoGlyph = "%s (%s) has no glyph and is drawn as a box";
inline constexpr const char* kInvalidCodePage = "The text is not valid %s at byte %s";
inline constexpr const char* kFontNotLoaded = "The font %s cannot be loaded from %s";
inline constexpr const char* kTableDamaged = "A built-in table does not inflate to its size";
}  // namespace msg

// Replaces each "%s" of format, in order, by the given arguments.
std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args);

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// A graphic that cannot be read, or a graphic operation that is not possible.
class EInvalidGraphic : public Exception { using Exception::Exception; };
// Exhausted platform resources (memory mappings, palettes, device contexts).
class EOutOfResources : public Exception { using Exception::Exception; };
class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception(msg::kOutOfMemory) {}
  explicit EOutOfMemory(std::string message) : Exception(std::move(message)) {}
};
// A value outside the range of its destination.
class ERangeError : public Exception {
 public:
  ERangeError() : Exception(msg::kRangeCheckError) {}
};
class EConvertError : public Exception { using Exception::Exception; };

class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError(msg::kStreamReadError) {}
};
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError(msg::kStreamWriteError) {}
};
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& fileName)
      : EStreamError(FormatMessage(msg::kFileOpenError, {fileName})) {}
};
class EFCreateError : public EStreamError {
 public:
  explicit EFCreateError(const std::string& fileName)
      : EStreamError(FormatMessage(msg::kFileCreateError, {fileName})) {}
};

// A source read to its end that holds more than a reader could take (a pipe or a device).
class EFileTooLarge : public EStreamError {
 public:
  EFileTooLarge(const std::string& name, std::size_t ceiling)
      : EStreamError(FormatMessage(msg::kFileTooLarge, {name, std::to_string(ceiling)})) {}
};

// A broken invariant inside a library. Ordinary input never reaches one; the message names
// the class and operation ("TQvDIB.GetWidth: InternalDIB Should not be Nil").
class EInternalError : public Exception { using Exception::Exception; };

// The text a user is shown for a failure: its message, or for memory that ran out (which the
// standard library reports as "std::bad_alloc" or a length error) kNotEnoughMemory.
std::string UserMessage(const std::exception& failure);
// The same for a failure caught as it is (any exception, not only std::exception).
std::string UserMessage(const std::exception_ptr& failure);

// Raises EInternalError with message when condition is false.
inline void Assert(bool condition, const char* message) {
  if (!condition) throw EInternalError(message);
}

}  // namespace pw
