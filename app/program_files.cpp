#include "app/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pw {
namespace {

constexpr const char* kIconName = "panelwright";
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

}  // namespace

QString ProgramShareDir() { return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share"); }

QIcon ApplicationIcon() {
  QIcon icon;
  const QString share = ProgramShareDir();
  for (int size : kIconSizes) {
    const QString file = QString("%1/icons/hicolor/%2x%2/apps/%3.png").arg(share).arg(size).arg(kIconName);
    if (QFileInfo::exists(file)) icon.addFile(file, QSize(size, size));
  }
  if (icon.isNull()) icon = QIcon::fromTheme(kIconName);
  return icon;
}

}  // namespace pw
