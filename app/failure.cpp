#include "app/failure.h"

#include <new>

#include "app/app_messages.h"

namespace pw {

std::string FailureText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

std::string FailureMessage(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return app_msg::kOutOfMemory;
  return failure.what();
}

void HandleException(TDialogs& dialogs, const std::exception& failure) {
  dialogs.MessageBox(FailureText(FailureMessage(failure)), app_msg::kApplicationTitle, MB_OK | MB_ICONHAND);
}

void HandleUnknownException(TDialogs& dialogs) {
  dialogs.MessageBox(FailureText(app_msg::kUnknownFailure), app_msg::kApplicationTitle, MB_OK | MB_ICONHAND);
}

}  // namespace pw
