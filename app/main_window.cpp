#include "main_window.h"

#include <QTabWidget>

#include "dialog_service.h"
#include "edit_mode_group.h"
#include "note_properties_group.h"
#include "options_page.h"
#include "song_page.h"
#include "square1_page.h"
#include "square2_page.h"
#include "status_line.h"

namespace kestrin {

TMainWindow::TMainWindow(DialogService& dialogs, QWidget* parent)
    : QMainWindow(parent),
      StatusBar_(new StatusLine(this)),
      context_{state_, settings_, dialogs, *StatusBar_} {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Kestrin Music Editor"));
  setStatusBar(StatusBar_);
  auto* client = new QWidget(this);
  setCentralWidget(client);
  PC_ChannelSelect_ = new QTabWidget(client);
  PC_ChannelSelect_->setObjectName(QStringLiteral("PC_ChannelSelect"));
  GroupBox8_ = new EditModeGroup(context_, client);
  GroupBox7_ = new NotePropertiesGroup(client);
  T_Song_ = new SongPage(context_);
  T_Square1_ = new Square1Page(context_, cells_, *GroupBox7_);
  T_Square2_ = new Square2Page(context_, cells_);
  T_Triangle_ = new QWidget;
  T_Noise_ = new QWidget;
  T_DMC_ = new QWidget;
  T_Options_ = new OptionsPage(context_);
  PC_ChannelSelect_->addTab(T_Song_, QStringLiteral("Song and part selection"));
  PC_ChannelSelect_->addTab(T_Square1_, QStringLiteral("Square 1"));
  PC_ChannelSelect_->addTab(T_Square2_, QStringLiteral("Square 2"));
  PC_ChannelSelect_->addTab(T_Triangle_, QStringLiteral("Triangle"));
  PC_ChannelSelect_->addTab(T_Noise_, QStringLiteral("Noise"));
  PC_ChannelSelect_->addTab(T_DMC_, QStringLiteral("DMC"));
  PC_ChannelSelect_->addTab(T_Options_, QStringLiteral("Options"));
}

TMainWindow::~TMainWindow() { FormDestroy(); }

void TMainWindow::FormActivate() {}
void TMainWindow::FormDestroy() {
  Release(state_);
  ReleaseCellTable(cells_);
}
void TMainWindow::Open1Click() {}
void TMainWindow::Save1Click() {}
void TMainWindow::SaveAs1Click() {}
void TMainWindow::Exit1Click() { close(); }

}  // namespace kestrin
