#include "app/failure.h"

#include "app/app_messages.h"
#include "toolkit/errors.h"

namespace pw {

std::string FailureText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

void HandleException(TDialogs& dialogs, const std::exception& failure) {
  dialogs.MessageBox(FailureText(UserMessage(failure)), app_msg::kApplicationTitle, MB_OK | MB_ICONHAND);
}

void HandleUnknownException(TDialogs& dialogs) {
  dialogs.MessageBox(FailureText(msg::kUnknownFailure), app_msg::kApplicationTitle, MB_OK | MB_ICONHAND);
}

}  // namespace pw
