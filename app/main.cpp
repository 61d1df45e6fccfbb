// Panelwright's desktop program: one window, no command-line options. It starts with the default
// sample skin loaded, so that Make works at once.
#include "app/application.h"
#include "app/dialogs.h"
#include "app/failure.h"
#include "app/form1.h"
#include "dib/qvdib.h"
#include "png/kropng.h"
#include "resources/resources.h"

int main(int argc, char** argv) {
  const auto dibFormat = pw::RegisterQvDIB();
  const pw::TFileFormatRegistration pngFormat = pw::RegisterKroPNG();
  pw::TApplication application(argc, argv);
  pw::TQtDialogs dialogs;
  application.SetDialogs(&dialogs);
  pw::TForm1 form(dialogs);
  dialogs.SetOwner(&form);
  pw::RunGuarded(dialogs, [&] { form.LoadSampleSkin(pw::resources::SampleSkins().front()); });
  form.show();
  return application.exec();
}
