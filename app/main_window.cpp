#include "main_window.h"

#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <memory>

#include "app_icon.h"
#include "channel_grid.h"
#include "client_area.h"
#include "client_layout.h"
#include "dialog_service.h"
#include "edit_mode_group.h"
#include "file_commands.h"
#include "group_fit.h"
#include "kestrin_application.h"
#include "note_properties_group.h"
#include "options_page.h"
#include "shell_texts.h"
#include "song_page.h"
#include "square1_page.h"
#include "square2_page.h"
#include "status_line.h"

namespace kestrin {

namespace {

// The window was laid out for an 11-pixel-high sans-serif font.
constexpr int kFontPixelSize = 11;

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

QWidget* EmptyPage(const char* name) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromLatin1(name));
  return page;
}

}  // namespace

TMainWindow::TMainWindow(DialogService& dialogs, QWidget* parent)
    : QMainWindow(parent),
      StatusBar_(new StatusLine(this)),
      context_{state_, settings_, dialogs, *StatusBar_, &history_},
      fileCommands_(std::make_unique<FileCommands>(
          context_, [this](const QString& caption) {
            // "[*]" in a title is Qt's modified-marker; a path shows it as is.
            setWindowTitle(QString(caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
          })) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(shell_texts::kProgramName);
  setWindowIcon(AppIcon());
  QFont windowFont = font();
  windowFont.setPixelSize(kFontPixelSize);
  setFont(windowFont);

  StatusBar_->setFixedHeight(kStatusLineHeight);
  setStatusBar(StatusBar_);
  BuildMenu();
  BuildPages();

  resize(kStartClientSize.width(), kStartClientSize.height() + menuBar()->sizeHint().height());
  move(kStartPosition);
  UpdateMinimumSize();
}

void TMainWindow::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  File1_ = bar->addMenu(shell_texts::kFileMenu);
  File1_->setObjectName(QStringLiteral("File1"));
  Open1_ = AddItem(File1_, "Open1", shell_texts::kOpenItem);
  Save1_ = AddItem(File1_, "Save1", shell_texts::kSaveItem);
  SaveAs1_ = AddItem(File1_, "SaveAs1", shell_texts::kSaveAsItem);
  N1_ = File1_->addSeparator();
  N1_->setObjectName(QStringLiteral("N1"));
  Exit1_ = AddItem(File1_, "Exit1", shell_texts::kExitItem);
  // Exit drops unsaved edits without a question, so it gets no key.
  Open1_->setShortcuts(QKeySequence::Open);
  Save1_->setShortcuts(QKeySequence::Save);
  // Desktops without a Save-as key of their own get the common one.
  const QList<QKeySequence> saveAs = QKeySequence::keyBindings(QKeySequence::SaveAs);
  SaveAs1_->setShortcuts(saveAs.isEmpty() ? QList{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)} : saveAs);
  connect(Open1_, &QAction::triggered, this, GuardedSlot([this] { Open1Click(); }));
  connect(Save1_, &QAction::triggered, this, GuardedSlot([this] { Save1Click(); }));
  connect(SaveAs1_, &QAction::triggered, this, GuardedSlot([this] { SaveAs1Click(); }));
  connect(Exit1_, &QAction::triggered, this, GuardedSlot([this] { Exit1Click(); }));

  Edit1_ = bar->addMenu(shell_texts::kEditMenu);
  Edit1_->setObjectName(QStringLiteral("Edit1"));
  // Qt keeps the texts ("&Undo Tempo") and the enabled states current.
  Undo1_ = history_.Stack().createUndoAction(Edit1_, shell_texts::kUndoItem);
  Undo1_->setObjectName(QStringLiteral("Undo1"));
  Undo1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  Redo1_ = history_.Stack().createRedoAction(Edit1_, shell_texts::kRedoItem);
  Redo1_->setObjectName(QStringLiteral("Redo1"));
  Redo1_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  Edit1_->addAction(Undo1_);
  Edit1_->addAction(Redo1_);
  history_.SetShow([this](const StepShown& shown) { ShowUndoneState(shown); });
}

void TMainWindow::ShowUndoneState(const StepShown& shown) {
  if (shown.kind == StepShown::Kind::Joined) {
    ShowChangedCells(shown.changes);
    return;
  }
  T_Song_->ShowImageAgain();
  // A step of another part or song is not brought on view: loading a part
  // or reading a song runs the song page's own handlers. The status line
  // still names the place.
  if (OnView(shown.place)) {
    ShowPlace(shown.place, shown.changes);
  } else {
    ShowChangedCells(shown.changes);
  }
  const QString& status =
      shown.kind == StepShown::Kind::Undone ? shell_texts::kUndoneStatus : shell_texts::kRedoneStatus;
  StatusBar_->Set(status.arg(shown.text));
}

bool TMainWindow::OnView(const EditPlace& place) const {
  if (place.where.part < 0) return place.where.song >= 0 && place.where.song == T_Song_->ShownSong();
  return state_.partLoaded && place.where.SamePart(history_.LoadedPart());
}

void TMainWindow::ShowPlace(const EditPlace& place, std::span<const ByteChange> changes) {
  const QString control = QString::fromLatin1(place.control);
  ChannelGrid* grid = nullptr;
  QWidget* page = T_Song_;
  if (control == T_Square1_->Grid().objectName()) {
    page = T_Square1_;
    grid = &T_Square1_->Grid();
  } else if (control == T_Square2_->Grid().objectName()) {
    page = T_Square2_;
    grid = &T_Square2_->Grid();
  }
  // A page that comes on view displays itself whole; the page on view
  // updates the cells the step names.
  if (PC_ChannelSelect_->currentWidget() == page) {
    ShowChangedCells(changes);
  } else {
    PC_ChannelSelect_->setCurrentWidget(page);
  }
  if (grid == nullptr) {
    T_Song_->ShowPlace(place);
    return;
  }
  grid->SetCurrentCell(GridCell{place.column, place.row});
  grid->setFocus();
}

void TMainWindow::ShowChangedCells(std::span<const ByteChange> changes) {
  // Only the grid on view is drawn; a page shown later displays itself.
  QWidget* page = PC_ChannelSelect_->currentWidget();
  if (page == T_Square1_) T_Square1_->ShowChanges(changes);
  if (page == T_Square2_) T_Square2_->ShowChanges(changes);
}

void TMainWindow::BuildPages() {
  auto* client = new ClientArea(this);
  setCentralWidget(client);
  // Tab follows the order in which widgets join the window: the pages with
  // their controls, then the note properties, then the edit mode group.
  // Square 1 reads the note properties, so that group is made first and
  // joins the window only after the pages.
  PC_ChannelSelect_ = new QTabWidget(client);
  PC_ChannelSelect_->setObjectName(QStringLiteral("PC_ChannelSelect"));
  auto noteProperties = std::make_unique<NotePropertiesGroup>();
  GroupBox7_ = noteProperties.get();

  T_Song_ = new SongPage(context_);
  T_Square1_ = new Square1Page(context_, cells_, *GroupBox7_);
  T_Square2_ = new Square2Page(context_, cells_);
  T_Triangle_ = EmptyPage("T_Triangle");
  T_Noise_ = EmptyPage("T_Noise");
  T_DMC_ = EmptyPage("T_DMC");
  T_Options_ = new OptionsPage(context_);
  PC_ChannelSelect_->addTab(T_Song_, shell_texts::kSongPageCaption);
  PC_ChannelSelect_->addTab(T_Square1_, shell_texts::kSquare1Caption);
  PC_ChannelSelect_->addTab(T_Square2_, shell_texts::kSquare2Caption);
  PC_ChannelSelect_->addTab(T_Triangle_, shell_texts::kTriangleCaption);
  PC_ChannelSelect_->addTab(T_Noise_, shell_texts::kNoiseCaption);
  PC_ChannelSelect_->addTab(T_DMC_, shell_texts::kDmcCaption);
  PC_ChannelSelect_->addTab(T_Options_, shell_texts::kOptionsCaption);
  PC_ChannelSelect_->setCurrentWidget(T_Song_);

  noteProperties.release()->setParent(client);
  GroupBox8_ = new EditModeGroup(context_, client);
  client->SetChildren(PC_ChannelSelect_, GroupBox8_, GroupBox7_);
}

TMainWindow::~TMainWindow() {
  // The pages hold references to the state and settings: take them down
  // while those still exist, then release the buffers.
  PC_ChannelSelect_->blockSignals(true);
  delete takeCentralWidget();
  FormDestroy();
}

bool TMainWindow::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::StatusTip:
      // Menu hover tips would wipe the status line's message.
      return true;
    case QEvent::WindowActivate:
      if (!welcomed_) {
        welcomed_ = true;
        FormActivate();
      }
      break;
    default:
      break;
  }
  return QMainWindow::event(event);
}

void TMainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  WidenToFitText(*GroupBox8_);
  WidenToFitText(*GroupBox7_);
  if (auto* client = qobject_cast<ClientArea*>(centralWidget())) client->Place();
  UpdateMinimumSize();
}

void TMainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  UpdateMinimumSize();
}

void TMainWindow::UpdateMinimumSize() {
  // Before the window manager has framed the window (and on platforms
  // without frames) the frame counts as nothing.
  const QSize frame = frameGeometry().size() - geometry().size();
  setMinimumSize(kMinimumOuterSize - frame.expandedTo(QSize(0, 0)));
}

void TMainWindow::FormActivate() { StatusBar_->Set(shell_texts::kWelcome); }

void TMainWindow::FormDestroy() {
  Release(state_);
  ReleaseCellTable(cells_);
}

void TMainWindow::Open1Click() { fileCommands_->Open(); }
void TMainWindow::Save1Click() { fileCommands_->Save(); }
void TMainWindow::SaveAs1Click() { fileCommands_->SaveAs(); }
void TMainWindow::Exit1Click() { close(); }

}  // namespace kestrin
