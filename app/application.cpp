#include "app/application.h"

#include <QFont>

#include "app/app_messages.h"
#include "app/failure.h"

namespace pw {

void PrepareApplication(QApplication& application) {
  application.setApplicationName(app_msg::kApplicationTitle);
  QFont::insertSubstitutions("MS Sans Serif", {"Nimbus Sans", "Liberation Sans", "Arial", "DejaVu Sans"});
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) { PrepareApplication(*this); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  if (dialogs_ == nullptr) return QApplication::notify(receiver, event);
  bool handled = false;
  RunGuarded(*dialogs_, [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

}  // namespace pw
