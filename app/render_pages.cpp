// Renders the real main window offscreen, one PNG per page:
//   kestrin-render-pages OUTPUT_DIR [ROM_FILE]
// writes OUTPUT_DIR/window.png (the window as it starts, song page shown)
// and OUTPUT_DIR/page-<name>.png for every page. With a ROM file, the file
// is opened first and the first part of the second song is selected, so the
// pages have something to show.
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QScrollBar>
#include <QDir>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "dialog_service.h"
#include "kestrin_application.h"
#include "main_window.h"
#include "shell_texts.h"

namespace {

// Opens `romPath` when asked, declines the backup, cancels everything else.
class ScriptedDialogs final : public kestrin::DialogService {
 public:
  explicit ScriptedDialogs(QString romPath) : romPath_(std::move(romPath)) {}
  kestrin::MessageAnswer ShowMessage(const QString& text, const QString&,
                                     kestrin::MessageStyle style) override {
    if (style != kestrin::MessageStyle::YesNoQuestion)
      std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
    return kestrin::MessageAnswer::No;
  }
  std::optional<QString> AskOpenFileName(const kestrin::FileDialogRequest&) override {
    if (romPath_.isEmpty()) return std::nullopt;
    return romPath_;
  }
  std::optional<QString> AskSaveFileName(const kestrin::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<QColor> AskColor(const QColor&) override { return std::nullopt; }

 private:
  QString romPath_;
};

void SelectDemoPart(kestrin::TMainWindow& window) {
  if (auto* songs = window.findChild<QComboBox*>(QStringLiteral("CB_SongSelect"));
      songs != nullptr && songs->count() > 1) {
    songs->setCurrentIndex(1);
  }
  if (auto* parts = window.findChild<QListWidget*>(QStringLiteral("LB_Parts"));
      parts != nullptr && parts->count() > 0) {
    const QRect row = parts->visualItemRect(parts->item(0));
    QTest::mouseClick(parts->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  }
}

bool Save(QWidget& window, const QDir& out, const QString& name) {
  QCoreApplication::processEvents();
  const QString file = out.filePath(name);
  if (window.grab().save(file, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR [ROM_FILE]\n", argv[0]);
    return 2;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  kestrin::KestrinApplication app(argc, argv);
  kestrin::KestrinApplication::setApplicationName(kestrin::shell_texts::kProgramName);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(QStringLiteral("."))) return 1;
  ScriptedDialogs dialogs(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());
  app.SetDialogs(&dialogs);

  kestrin::TMainWindow window(dialogs);
  window.show();
  QCoreApplication::processEvents();
  window.activateWindow();
  QCoreApplication::processEvents();
  if (argc == 3) {
    window.Open1Click();
    SelectDemoPart(window);
  }
  bool ok = Save(window, out, QStringLiteral("window.png"));
  auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PC_ChannelSelect"));
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    // The Square 1 grid opens at its highest notes; the middle octaves show
    // more of a typical part.
    if (auto* grid = pages->widget(i)->findChild<QAbstractScrollArea*>(QStringLiteral("Sq1_StrGrid"))) {
      QCoreApplication::processEvents();
      grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
    }
    ok = Save(window, out, QStringLiteral("page-%1.png").arg(pages->widget(i)->objectName())) && ok;
  }
  return ok ? 0 : 1;
}
