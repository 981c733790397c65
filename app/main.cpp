#include <QApplication>

#include "main_window.h"
#include "qt_dialog_service.h"

// The program's one window.
kestrin::TMainWindow* MainWindow = nullptr;

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrin Music Editor"));
  kestrin::QtDialogService dialogs;
  kestrin::TMainWindow window(dialogs);
  MainWindow = &window;
  window.show();
  const int code = QApplication::exec();
  MainWindow = nullptr;
  return code == 0 ? 0 : 0;
}
