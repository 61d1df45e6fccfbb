// Files the window program reads beside itself. They are found from the executable's own folder,
// bin/ in an install and in the build folder alike: DIR/bin/panelwright reads DIR/share/..., so
// an install to any prefix works without configuration.
#pragma once

#include <QIcon>
#include <QString>

namespace pw {

// The share/ folder that belongs to the running program (needs a QCoreApplication).
QString ProgramShareDir();

// The application icon from share/icons/hicolor/NxN/apps/panelwright.png at every size present,
// else the icon theme's "panelwright", else an empty icon.
QIcon ApplicationIcon();

}  // namespace pw
