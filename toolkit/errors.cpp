#include "toolkit/errors.h"

#include <new>
#include <stdexcept>

namespace pw {

std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::string UserMessage(const std::exception& failure) {
  const bool memory = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr ||
                      dynamic_cast<const std::length_error*>(&failure) != nullptr;
  return memory ? msg::kNotEnoughMemory : failure.what();
}

std::string UserMessage(const std::exception_ptr& failure) {
  if (!failure) return msg::kUnknownFailure;
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return UserMessage(e);
  } catch (...) {
    return msg::kUnknownFailure;
  }
}

}  // namespace pw
