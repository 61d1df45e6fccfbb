// Panelwright's desktop program: one window, no command-line options.
#include "app/application.h"
#include "app/dialogs.h"
#include "app/form1.h"
#include "dib/qvdib.h"
#include "png/kropng.h"

int main(int argc, char** argv) {
  const auto dibFormat = pw::RegisterQvDIB();
  const pw::TFileFormatRegistration pngFormat = pw::RegisterKroPNG();
  pw::TApplication application(argc, argv);
  pw::TQtDialogs dialogs;
  application.SetDialogs(&dialogs);
  pw::TForm1 form(dialogs);
  dialogs.SetOwner(&form);
  form.show();
  return application.exec();
}
