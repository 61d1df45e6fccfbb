#include "io/options.h"

#include <algorithm>
#include <cctype>

#include "compose/animate.h"

namespace pw::io {

int WholeNumber(const std::string& field, const std::string& value, int low, int high) {
  // Nine digits at most, so that the number fits before it is compared.
  const bool digits = !value.empty() && value.size() <= 9 &&
                      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
  const int number = digits ? std::stoi(value) : -1;
  if (!digits || number < low || number > high) {
    throw EOptionValue(field + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                       ", not '" + value + "'");
  }
  return number;
}

double HoldSeconds(const std::string& field, const std::string& value) {
  const bool number = !value.empty() && value.size() <= 12 && value != "." &&
                      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c) || c == '.'; }) &&
                      std::count(value.begin(), value.end(), '.') <= 1;
  const double seconds = number ? std::stod(value) : -1;
  if (!number || seconds > timing::kMaxHoldSeconds) {
    throw EOptionValue(field + " needs seconds from 0 to 60, not '" + value + "'");
  }
  return seconds;
}

std::string AnimationNameMessage(const std::string& what, const std::string& name) {
  return what + " writes OUT.gif or OUT.png, not '" + name + "'";
}

}  // namespace pw::io
