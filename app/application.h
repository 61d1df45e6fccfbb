// Application-wide settings of the window program.
#pragma once

#include <QApplication>

#include "app/dialogs.h"

namespace pw {

// Sets the application title and names the installed faces that may stand in for the layout's
// user-interface font.
void PrepareApplication(QApplication& application);

// The application: a failure that escapes an event handler reaches the default failure handler
// instead of ending the program.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  void SetDialogs(TDialogs* dialogs) { dialogs_ = dialogs; }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  TDialogs* dialogs_ = nullptr;
};

}  // namespace pw
