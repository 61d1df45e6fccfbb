// Panelwright's desktop program: one window. It opens the skin given on its command line, or else
// starts with the default sample skin loaded, so that Make works at once.
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/failure.h"
#include "app/form1.h"
#include "app/program_files.h"
#include "dib/qvdib.h"
#include "png/kropng.h"
#include "resources/resources.h"
#include "toolkit/replace_file.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) { return {argv + std::min(argc, 1), argv + argc}; }


int PrintVersion() {
  std::fputs(pw::resources::VersionText("panelwright").c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Asked for alone, the version needs no display.
  if (pw::ParseCommandLine(Arguments(argc, argv)).action == pw::TCommandLine::TAction::kVersion) return PrintVersion();
  // Before any thread starts: a save that a signal interrupts leaves no temporary file behind.
  pw::RemoveTemporaryFilesOnInterrupt();
  const auto dibFormat = pw::RegisterQvDIB();
  const pw::TFileFormatRegistration pngFormat = pw::RegisterKroPNG();
  pw::TApplication application(argc, argv);
  // QApplication has taken its own options out of argc and argv.
  const pw::TCommandLine line = pw::ParseCommandLine(Arguments(argc, argv));
  if (line.action == pw::TCommandLine::TAction::kVersion) return PrintVersion();
  if (line.action == pw::TCommandLine::TAction::kUsageError) {
    std::fprintf(stderr, "panelwright: %s\n\n%s", line.error.c_str(), pw::kWindowUsage);
    return 2;
  }
  // The desktop entry's name, so that the desktop matches the window to its entry and icon.
  QGuiApplication::setDesktopFileName("io.github.panelwright.Panelwright");
  application.setWindowIcon(pw::ApplicationIcon());
  pw::TQtDialogs dialogs;
  application.SetDialogs(&dialogs);
  pw::TForm1 form(dialogs);
  dialogs.SetOwner(&form);
  // The default sample skin first, so that a skin on the command line that cannot be used
  // leaves the window with a skin all the same.
  pw::RunGuarded(dialogs, [&] { form.LoadSampleSkin(pw::resources::SampleSkins().front()); });
  form.show();
  // Opened once the event loop runs, so a failure box stands over the shown window.
  if (!line.skin.empty()) QTimer::singleShot(0, &form, [&form, &line] { form.OpenFromCommandLine(line.skin); });
  return application.exec();
}
