#include "app/application.h"

#include <QFont>

#include "app/app_messages.h"
#include "app/failure.h"

namespace pw {

void PrepareApplication(QApplication& application) {
  application.setApplicationName(app_msg::kApplicationTitle);
  // Regular faces before their narrow cuts: the window takes the face that fits its captions at
  // the largest size (./dev installs Liberation Sans and its narrow cut).
  QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Nimbus Sans", "Arial", "DejaVu Sans",
                                               "Liberation Sans Narrow", "Nimbus Sans Narrow", "Arial Narrow",
                                               "DejaVu Sans Condensed"});
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) { PrepareApplication(*this); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  if (dialogs_ == nullptr) return QApplication::notify(receiver, event);
  bool handled = false;
  RunGuarded(*dialogs_, [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

}  // namespace pw
