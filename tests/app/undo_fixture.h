#pragma once
// The real main window with the demo ROM opened from a temporary file,
// driven through its widgets and menu actions.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <cstdint>
#include <vector>

#include "channel_grid.h"
#include "edit_history.h"
#include "fake_dialog_service.h"
#include "main_window.h"
#include "rom_builder.h"
#include "square1_page.h"
#include "square2_page.h"

namespace kestrin::testing {

using Bytes = std::vector<std::uint8_t>;

class UndoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath(QStringLiteral("demo.nes"));
    original = demo::MakeDemoRom();
    WriteFile(path, original);
    window.show();
    // Focus moves only inside the active window.
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Open();
  }

  static void WriteFile(const QString& file, const Bytes& bytes) {
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  static Bytes ReadFile(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = in.readAll();
    return Bytes(data.begin(), data.end());
  }

  template <typename T>
  T* Find(const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QAction* Action(const char* name) { return Find<QAction>(name); }
  void Trigger(const char* name) { Action(name)->trigger(); }
  void Undo() { Trigger("Undo1"); }
  void Redo() { Trigger("Redo1"); }
  QUndoStack& Stack() { return window.History().Stack(); }
  EditingState& State() { return window.State(); }
  const Bytes& Image() { return window.State().romImage; }

  void Open() {
    dialogs.ChooseOpenFile(path);
    dialogs.AnswerNextMessage(MessageAnswer::No);
    Trigger("Open1");
    ASSERT_TRUE(State().fileLoaded);
    dialogs.ClearRecords();
  }

  void PickSong(int position) {
    auto* songs = Find<QComboBox>("CB_SongSelect");
    songs->setCurrentIndex(position);
    Q_EMIT songs->activated(position);
  }
  void ClickPart(int row) {
    auto* list = Find<QListWidget>("LB_Parts");
    ASSERT_LT(row, list->count());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }
  // Song "01-", part line `row`.
  void LoadPart(int row = 0) {
    PickSong(0);
    ClickPart(row);
    ASSERT_TRUE(State().partLoaded);
  }
  void ShowPage(const char* name) {
    auto* pages = Find<QTabWidget>("PC_ChannelSelect");
    pages->setCurrentWidget(Find<QWidget>(name));
  }
  ChannelGrid& Grid(const char* name) { return *Find<ChannelGrid>(name); }
  void ClickCell(ChannelGrid& grid, int column, int row) {
    grid.ScrollToCell({column, row});
    const auto rect = grid.VisibleCellRect(column, row);
    ASSERT_TRUE(rect.has_value()) << column << "," << row;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rect->center());
  }
  // Replaces a box's text by typing, one keystroke per character.
  void Type(const char* name, const QString& text) {
    auto* box = Find<QLineEdit>(name);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
  }
  void TypeAndEnter(const char* name, const QString& text) {
    Type(name, text);
    QTest::keyClick(Find<QLineEdit>(name), Qt::Key_Return);
  }

  Bytes Buffer(int stream) { return window.State().channels->edit[static_cast<std::size_t>(stream)]; }
  std::int32_t StreamAt(int stream) { return State().streamPosition[static_cast<std::size_t>(stream)]; }

  QTemporaryDir dir;
  QString path;
  Bytes original;
  FakeDialogService dialogs;
  TMainWindow window{dialogs};
};

}  // namespace kestrin::testing
