#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>

#include "app/app_messages.h"
#include "app/dialogs.h"
#include "app/picture_dialog.h"
#include "toolkit/code_pages.h"

namespace pw {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Message texts break lines with CR LF; Qt's labels break at LF alone.
QString MessageText(const std::string& text) { return Q(text).replace("\r\n", "\n"); }

bool RunPictureDialog(QWidget* owner, QFileDialog::AcceptMode mode, const char* filter, std::string& fileName,
                      const char* defaultSuffix) {
  TPictureFileDialog dialog(owner, mode, filter);
  if (defaultSuffix != nullptr) {
    dialog.setDefaultSuffix(defaultSuffix);
    // The extension added to a name typed without one follows the filter chosen, and a
    // pre-filled name chooses the filter of its own extension.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& chosen) { dialog.setDefaultSuffix(FilterSuffix(chosen)); });
    const QString extension = QFileInfo(Q(fileName)).suffix().toLower();
    for (const QString& entry : dialog.nameFilters()) {
      if (!extension.isEmpty() && FilterSuffix(entry) == extension) {
        dialog.selectNameFilter(entry);
        dialog.setDefaultSuffix(extension);
      }
    }
  }
  if (!fileName.empty()) {
    dialog.selectFile(Q(fileName));
    dialog.ShowPreview(Q(fileName));  // the pre-filled name is previewed before any selection changes
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  fileName = dialog.selectedFiles().first().toStdString();
  return true;
}

QMessageBox::StandardButtons ButtonsOf(unsigned flags) {
  switch (flags & 0x0F) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & 0xF0) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int CodeOf(int button) {
  switch (button) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
  }
}

}  // namespace

QStringList ToQtFilters(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = parts[i + 1];
    const QString spaced = QString(patterns).replace(';', ' ');
    QString description = parts[i];
    // Qt reads the patterns from the parenthesis at the end of the entry, separated by blanks.
    const QString shown = "(" + patterns + ")";
    if (description.endsWith(shown))
      description.chop(shown.size());
    else
      description += ' ';
    filters << description + "(" + spaced + ")";
  }
  return filters;
}

QString FilterSuffix(const QString& qtFilter) {
  const int star = qtFilter.indexOf("*.");
  if (star < 0) return {};
  int end = star + 2;
  while (end < qtFilter.size() && (qtFilter[end].isLetterOrNumber() || qtFilter[end] == '_')) ++end;
  return qtFilter.mid(star + 2, end - star - 2);
}

bool TQtDialogs::RunOpenDialog(std::string& fileName) {
  return RunPictureDialog(owner_, QFileDialog::AcceptOpen, app_msg::kOpenFilter, fileName, nullptr);
}

bool TQtDialogs::RunSaveDialog(std::string& fileName) {
  return RunPictureDialog(owner_, QFileDialog::AcceptSave, app_msg::kSaveFilter, fileName,
                          app_msg::kSaveDefaultExtension);
}

bool TQtDialogs::RunSaveAnimationDialog(std::string& fileName) {
  return RunPictureDialog(owner_, QFileDialog::AcceptSave, app_msg::kAnimationFilter, fileName,
                          app_msg::kAnimationDefaultExtension);
}

int TQtDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  QMessageBox box(IconOf(flags), Q(caption), MessageText(text), ButtonsOf(flags), owner_);
  return CodeOf(box.exec());
}

void TQtDialogs::ShowInformation(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, app_msg::kApplicationTitle, MessageText(text), QMessageBox::Ok, owner_);
  box.exec();
}

std::string TQtDialogs::BrowseFolder(const std::string& title) {
  return QFileDialog::getExistingDirectory(owner_, Q(title), "/").toStdString();
}

void TQtDialogs::Popup(QMenu& menu, const QPoint& screenPos) { menu.popup(screenPos); }

bool TQtDialogs::RunOpenTextDialog(std::string& fileName) {
  const QString chosen = QFileDialog::getOpenFileName(owner_, app_msg::kOpenTextTitle, QString::fromStdString(fileName),
                                                      app_msg::kOpenTextFilter);
  if (chosen.isEmpty()) return false;
  fileName = chosen.toStdString();
  return true;
}

bool TQtDialogs::ChooseCodePage(const std::vector<std::string>& codePages, std::string& codePage) {
  // Offered with the language each serves, as the page offers them.
  QStringList items;
  for (const std::string& page : codePages) items << QString::fromStdString(codepage::Title(page));
  bool ok = false;
  const QString chosen = QInputDialog::getItem(owner_, app_msg::kCodePageTitle, app_msg::kCodePagePrompt, items, 0,
                                               false, &ok);
  if (!ok || !items.contains(chosen)) return false;
  codePage = codePages[static_cast<std::size_t>(items.indexOf(chosen))];
  return true;
}

}  // namespace pw
