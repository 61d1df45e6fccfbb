// The rules of the values that every program reads the same way: the command line's options and
// the page's fields are refused with the same words.
#pragma once

#include <string>

#include "toolkit/errors.h"

namespace pw::io {

// A value that its option or field does not take; the message names the option or field.
class EOptionValue : public Exception { using Exception::Exception; };

// A whole decimal number within [low, high], digits only: "FIELD needs a whole number from LOW
// to HIGH, not 'VALUE'" for anything else (a sign, a point, an exponent, a number too long).
int WholeNumber(const std::string& field, const std::string& value, int low, int high);

// Seconds from 0 to 60 as digits with at most one decimal point: "FIELD needs seconds from 0 to
// 60, not 'VALUE'" for anything else.
double HoldSeconds(const std::string& field, const std::string& value);

// "WHAT writes OUT.gif or OUT.png, not 'NAME'": an animation saved under a name that is not a
// .gif or .png file.
std::string AnimationNameMessage(const std::string& what, const std::string& name);

}  // namespace pw::io
