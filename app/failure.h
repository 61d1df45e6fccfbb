// The default failure handler: a failure that escapes a command is shown in an error box
// captioned with the application title, and the program goes on with the state reached.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "app/dialogs.h"

namespace pw {

// The text shown for a failure's message: a full stop is appended when the last byte of the
// message sorts after '.'.
std::string FailureText(const std::string& message);

// Shows the failure in the error box (OK button, error icon).
void HandleException(TDialogs& dialogs, const std::exception& failure);
void HandleUnknownException(TDialogs& dialogs);

// Runs a command; a failure escaping it goes to the default failure handler.
template <class Command>
void RunGuarded(TDialogs& dialogs, Command&& command) {
  try {
    std::forward<Command>(command)();
  } catch (const std::exception& failure) {
    HandleException(dialogs, failure);
  } catch (...) {
    HandleUnknownException(dialogs);
  }
}

}  // namespace pw
