// Failures of window composition and every fixed text they carry, spelled once.
#pragma once

#include "toolkit/errors.h"

namespace pw {

namespace compose_msg {
inline constexpr const char* kNoHeight =
    "The window has no height: with no text lines, a line gap of %s and a margin of %s it would be %s pixels high";
inline constexpr const char* kSystemGraphicSize = "The system graphic must be 160x80 pixels, not %sx%s";
inline constexpr const char* kMarginRange = "The margin must be between 0 and 160, not %s";
inline constexpr const char* kLineGapRange = "The line gap must be between 0 and 320, not %s";
inline constexpr const char* kWindowTooLarge =
    "The window would be at least %sx%s pixels, more than the %s pixels of the largest picture Panelwright reads";
inline constexpr const char* kSheetTooLarge = "The %s %s is %sx%s pixels; a sheet may be at most %sx%s";
inline constexpr const char* kNoImage = "%s holds no image; the file may be cut short";
// Window extras.
inline constexpr const char* kNoFace =
    "The face sheet %s has no face %s: a %sx%s sheet holds faces of 48x48 pixels, four to a row, numbered from 0";
inline constexpr const char* kNoName = "The text uses \\N[%s], but no name is given for %s";
inline constexpr const char* kNoValue = "The text uses \\V[%s], but no value is given for %s";
inline constexpr const char* kGameLayoutPads =
    "The game's window layout has no margin or line gap, but a margin of %s and a line gap of %s are given";
// Animation.
inline constexpr const char* kHoldRange = "The hold must be between 0 and 60 seconds, not %s";
inline constexpr const char* kAnimationTooLarge =
    "The animation would be more than %s frames of %sx%s pixels; an animation is at most 100000 frames and "
    "1073741824 frame pixels (frames x width x height): shorten the text or the holds";
}  // namespace compose_msg

// Inputs that cannot make a window.
class EComposeError : public Exception { using Exception::Exception; };
// A picture read from a file that holds no image (kNoImage).
class ENoImage : public EComposeError { using EComposeError::EComposeError; };

}  // namespace pw
