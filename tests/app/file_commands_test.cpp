// File > Open, Save and Save as, driven through their menu actions with
// scripted dialogs, on made-up ROM images in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QWindow>
#include <QTemporaryDir>
#include <csignal>
#include <cstdint>
#include <functional>
#include <tuple>
#include <vector>

#include "atomic_file_write_seams.h"
#include "fake_dialog_service.h"
#include "main_window.h"
#include "part_streams.h"
#include "rom_builder.h"
#include "status_line.h"

namespace kestrin {
namespace {

const QString kWriteFailedText =
    QStringLiteral("An error occured while saving the file. It may be read-only or used by "
                   "another application.");

using Bytes = std::vector<std::uint8_t>;

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  QString Path(const QString& name) const { return dir.filePath(name); }

  // Writes a made-up image whose byte at `marker` tells it apart.
  QString WriteRom(const QString& name, std::uint8_t mark = 0x11) {
    demo::RomBuilder rom;
    rom.Poke(kMarker, mark);
    EXPECT_TRUE(rom.WriteTo(QFile::encodeName(Path(name)).toStdString()));
    return Path(name);
  }
  static Bytes Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    return Bytes(data.begin(), data.end());
  }
  void Trigger(const char* action) { window.findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
  QString Status() const { return window.findChild<StatusLine*>(QStringLiteral("StatusBar"))->Text(); }
  void SetStatus(const QString& text) {
    window.findChild<StatusLine*>(QStringLiteral("StatusBar"))->Set(text);
  }
  // Opens `path`, answering No to the backup question.
  void Open(const QString& path) {
    dialogs.ChooseOpenFile(path);
    dialogs.AnswerNextMessage(MessageAnswer::No);
    Trigger("Open1");
    ASSERT_TRUE(window.State().fileLoaded);
    dialogs.ClearRecords();
  }
  void ExpectOnlyMessage(const QString& text, const QString& title) {
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].text, text);
    EXPECT_EQ(dialogs.Messages()[0].title, title);
    EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::OkError);
  }

  static constexpr std::int32_t kMarker = 0x100;
  QTemporaryDir dir;
  testing::FakeDialogService dialogs;
  TMainWindow window{dialogs};
};

TEST_F(FileCommandsTest, CancelledOpenChangesNothing) {
  Trigger("Open1");
  ASSERT_EQ(dialogs.OpenRequests().size(), 1u);
  EXPECT_EQ(dialogs.OpenRequests()[0].filter, QStringLiteral("NES files (*.nes);;All Files (*.*)"));
  EXPECT_FALSE(window.State().fileLoaded);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor"));
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(FileCommandsTest, OpenLoadsTheFileAndAsksForABackup) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::No);
  Trigger("Open1");

  EXPECT_EQ(Status(), path + QStringLiteral(" loaded successfully!"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor - ") + path);
  EXPECT_TRUE(window.State().fileLoaded);
  EXPECT_EQ(window.State().currentFileName, QFile::encodeName(path).toStdString());
  EXPECT_EQ(window.State().romImage, Read(path));
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text,
            QStringLiteral("Would you like to make a backup copy of the file ? (recommended)"));
  EXPECT_EQ(dialogs.Messages()[0].title, QStringLiteral("Backup"));
  EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::YesNoQuestion);
  // No: the folder holds only the opened file.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("game.nes")});
}

TEST_F(FileCommandsTest, BackupYesWritesAnIdenticalCopy) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Open1");
  const QString backup = Path(QStringLiteral("game_backup.nes"));
  EXPECT_EQ(Read(backup), Read(path));
  EXPECT_EQ(Status(), QStringLiteral("Backup copy written to ") + backup);
}

// A backup never replaces a file: not an unrelated one under the backup
// name, and not the clean first backup when the edited ROM is opened again.
TEST_F(FileCommandsTest, BackupsKeepEveryExistingFile) {
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("roms.nes.d")));
  const QString path = WriteRom(QStringLiteral("roms.nes.d/game.nes"), 0x11);
  const QString unrelated = WriteRom(QStringLiteral("roms_backup.nes"), 0x99);
  const Bytes unrelatedBytes = Read(unrelated);
  const Bytes pristine = Read(path);

  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Open1");
  const QString second = Path(QStringLiteral("roms_backup_2.nes"));
  EXPECT_EQ(Read(unrelated), unrelatedBytes);
  EXPECT_EQ(Read(second), pristine);
  EXPECT_EQ(Status(), QStringLiteral("Backup copy written to ") + second);

  window.State().romImage[kMarker] = 0x22;
  Trigger("Save1");
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Open1");
  const QString third = Path(QStringLiteral("roms_backup_3.nes"));
  EXPECT_EQ(Read(second), pristine);
  EXPECT_EQ(Read(third), Read(path));
  EXPECT_EQ(Read(third)[kMarker], 0x22);
  EXPECT_EQ(Status(), QStringLiteral("Backup copy written to ") + third);

  // Opened once more unchanged: the last backup already holds these bytes.
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Open1");
  EXPECT_EQ(Status(), QStringLiteral("No backup copy needed: ") + third +
                          QStringLiteral(" already holds exactly this file"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
            (QStringList{QStringLiteral("roms_backup.nes"), QStringLiteral("roms_backup_2.nes"),
                         QStringLiteral("roms_backup_3.nes")}));
}

TEST_F(FileCommandsTest, FailedBackupIsReportedAndTheFileStaysOpen) {
  // The backup's name passes the file system's 255-byte limit for a name.
  const QString stem(250, u'r');
  const QString path = WriteRom(stem + QStringLiteral(".nes"));
  const QString backup = Path(stem + QStringLiteral("_backup.nes"));
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Open1");

  ASSERT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(dialogs.Messages()[1].text, QStringLiteral("The backup copy could not be written: ") + backup);
  EXPECT_EQ(dialogs.Messages()[1].title, QStringLiteral("Warning!"));
  EXPECT_EQ(dialogs.Messages()[1].style, MessageStyle::OkWarning);
  EXPECT_TRUE(window.State().fileLoaded);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor - ") + path);
  EXPECT_EQ(Status(), path + QStringLiteral(" loaded successfully!"));
}

TEST_F(FileCommandsTest, NoBackupQuestionWhenTheOptionIsOff) {
  window.Settings().askBackup = false;
  dialogs.ChooseOpenFile(WriteRom(QStringLiteral("game.nes")));
  Trigger("Open1");
  EXPECT_TRUE(window.State().fileLoaded);
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(FileCommandsTest, FailedOpenKeepsThePreviousFile) {
  const QString first = WriteRom(QStringLiteral("first.nes"), 0x11);
  Open(first);
  const QString shortFile = Path(QStringLiteral("short.nes"));
  {
    QFile file(shortFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1000, '\x22'));
  }
  dialogs.ChooseOpenFile(shortFile);
  ::testing::internal::CaptureStdout();
  Trigger("Open1");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Doesn't look like Kestrin rom...\n");
  EXPECT_TRUE(dialogs.Messages().empty());
  // The loader's report reaches the window too, without its line feed.
  EXPECT_EQ(Status(), QStringLiteral("Doesn't look like Kestrin rom..."));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor - ") + first);
  EXPECT_EQ(window.State().currentFileName, QFile::encodeName(first).toStdString());
  EXPECT_EQ(window.State().romImage, Read(first));

  // Nor does a cancelled Open change what Save writes to.
  Trigger("Open1");
  window.State().romImage[kMarker] = 0x5A;
  Trigger("Save1");
  EXPECT_EQ(Read(first)[kMarker], 0x5A);
}

TEST_F(FileCommandsTest, OpeningAFileThatIsGoneSaysSo) {
  SetStatus(QStringLiteral("game.nes saved successfully!"));
  dialogs.ChooseOpenFile(Path(QStringLiteral("gone.nes")));
  ::testing::internal::CaptureStdout();
  Trigger("Open1");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Apparently, this file doesn't even exist!\n");
  EXPECT_EQ(Status(), QStringLiteral("Apparently, this file doesn't even exist!"));
  EXPECT_FALSE(window.State().fileLoaded);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor"));
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(FileCommandsTest, SavingBeforeAnyOpenOnlyTellsTheUser) {
  for (const char* action : {"Save1", "SaveAs1"}) {
    SetStatus(QString());
    Trigger(action);
    EXPECT_EQ(Status(), QStringLiteral("You should open a file before saving!")) << action;
  }
  EXPECT_TRUE(dialogs.SaveRequests().empty());
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(FileCommandsTest, SaveWritesTheImageToTheOpenedFile) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  Open(path);
  const Bytes unchanged = Read(path);
  Trigger("Save1");
  EXPECT_EQ(Read(path), unchanged);  // nothing chosen yet: the image as loaded
  EXPECT_EQ(Status(), QStringLiteral("File saved successfully!"));

  window.State().romImage[kMarker] = 0x77;
  Trigger("Save1");
  EXPECT_EQ(Read(path)[kMarker], 0x77);
  EXPECT_TRUE(dialogs.Messages().empty());
}

// Another program rewrites the opened file (same size, same place) before
// Save: Save asks, No keeps the other program's bytes, Yes writes the image.
TEST_F(FileCommandsTest, SaveAsksBeforeOverwritingAFileChangedOnDisk) {
  const QString path = WriteRom(QStringLiteral("game.nes"), 0x11);
  Open(path);
  window.State().romImage[kMarker] = 0x77;
  {
    QFile other(path);
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    ASSERT_TRUE(other.seek(kMarker + 1));
    ASSERT_TRUE(other.putChar('\x5A'));
  }
  const Bytes theirs = Read(path);
  ASSERT_EQ(theirs.size(), static_cast<std::size_t>(kRomSize));
  SetStatus(QStringLiteral("before"));

  Trigger("Save1");  // the fake answers No, the default
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text,
            QStringLiteral("The file ") + path +
                QStringLiteral(" was changed on disk by another program since it was opened. Overwrite it with "
                               "the edited image?"));
  EXPECT_EQ(dialogs.Messages()[0].title, QStringLiteral("Warning!"));
  EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::YesNoWarningNoByDefault);
  EXPECT_EQ(Read(path), theirs);
  EXPECT_EQ(Status(), QStringLiteral("before"));

  dialogs.ClearRecords();
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Save1");
  EXPECT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(Read(path), window.State().romImage);
  EXPECT_EQ(Status(), QStringLiteral("File saved successfully!"));

  // Unchanged since that Save: no question.
  dialogs.ClearRecords();
  window.State().romImage[kMarker] = 0x78;
  Trigger("Save1");
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Read(path)[kMarker], 0x78);
}

// The same bytes written back with the old time still count as a change
// when one byte differs: the content is compared, not only size and time.
TEST_F(FileCommandsTest, AChangeThatKeepsSizeAndTimeIsStillSeen) {
  const QString path = WriteRom(QStringLiteral("game.nes"), 0x11);
  Open(path);
  const QByteArray name = QFile::encodeName(path);
  struct stat before {};
  ASSERT_EQ(::stat(name.constData(), &before), 0);
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(kMarker));
    ASSERT_TRUE(file.putChar('\x42'));
  }
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
  Trigger("Save1");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(Read(path)[kMarker], 0x42);
}

TEST_F(FileCommandsTest, SaveAsToAnotherFileAsksNothingWhenTheOpenedOneChanged) {
  const QString path = WriteRom(QStringLiteral("game.nes"), 0x11);
  Open(path);
  WriteRom(QStringLiteral("game.nes"), 0x33);
  dialogs.ChooseSaveFile(Path(QStringLiteral("copy.nes")));
  Trigger("SaveAs1");
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Read(Path(QStringLiteral("copy.nes"))), window.State().romImage);
  EXPECT_EQ(Read(path)[kMarker], 0x33);
}

TEST_F(FileCommandsTest, SaveAsWritesTheChosenNameAndKeepsTheCurrentFile) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  Open(path);
  window.State().romImage[kMarker] = 0x33;
  dialogs.ChooseSaveFile(Path(QStringLiteral("copy")));
  Trigger("SaveAs1");

  ASSERT_EQ(dialogs.SaveRequests().size(), 1u);
  EXPECT_EQ(dialogs.SaveRequests()[0].filter, QStringLiteral("Nes files (*.nes);;All Files (*.*)"));
  EXPECT_EQ(Read(Path(QStringLiteral("copy.nes"))), window.State().romImage);
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("copy"))));
  EXPECT_EQ(Status(), Path(QStringLiteral("copy")) + QStringLiteral(" saved successfully!"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor - ") + path);
  EXPECT_EQ(Read(path)[kMarker], 0x11);

  // Save still writes the opened file, not the copy.
  window.State().romImage[kMarker] = 0x44;
  Trigger("Save1");
  EXPECT_EQ(Read(path)[kMarker], 0x44);
  EXPECT_EQ(Read(Path(QStringLiteral("copy.nes")))[kMarker], 0x33);
}

TEST_F(FileCommandsTest, SaveAsCancelledOrWithoutANameWritesNothing) {
  Open(WriteRom(QStringLiteral("game.nes")));
  SetStatus(QStringLiteral("before"));
  Trigger("SaveAs1");  // cancelled
  EXPECT_TRUE(dialogs.Messages().empty());

  dialogs.ChooseSaveFile(QString());
  Trigger("SaveAs1");
  ExpectOnlyMessage(QStringLiteral("Couldn't save the file."), QStringLiteral("Warning!"));
  EXPECT_EQ(Status(), QStringLiteral("before"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(FileCommandsTest, SavingToAReadOnlyFileWarnsAndLeavesItIntact) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  Open(path);
  const Bytes onDisk = Read(path);
  ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
  window.State().romImage[kMarker] = 0x66;
  SetStatus(QStringLiteral("before"));

  Trigger("Save1");
  ExpectOnlyMessage(kWriteFailedText, QStringLiteral("Warning!"));
  EXPECT_EQ(Status(), QStringLiteral("before"));
  EXPECT_EQ(Read(path), onDisk);

  // Save as onto the same read-only file asks before replacing it, then
  // fails the same way.
  dialogs.ClearRecords();
  dialogs.ChooseSaveFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("SaveAs1");
  ASSERT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(dialogs.Messages()[1].text, kWriteFailedText);
  EXPECT_EQ(dialogs.Messages()[1].style, MessageStyle::OkError);
  EXPECT_EQ(Read(path), onDisk);
}

TEST_F(FileCommandsTest, SaveAsOntoAFolderWarns) {
  Open(WriteRom(QStringLiteral("game.nes")));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.nes")));
  dialogs.ChooseSaveFile(Path(QStringLiteral("folder.nes")));
  Trigger("SaveAs1");
  ExpectOnlyMessage(kWriteFailedText, QStringLiteral("Warning!"));
}

// A made-up image with one part in set 1, opened with that part loaded.
class FileCommandsWithPartTest : public FileCommandsTest {
 protected:
  QString WritePartRom(const QString& name, std::uint8_t firstNote) {
    demo::RomBuilder rom;
    demo::PartStreams streams;
    streams.square1 = {0x84, firstNote, 0x30, 0x00};
    part = rom.AddPart(SongSet::One, streams);
    rom.SetSong(SongSet::One, 0, part, part, part);
    EXPECT_TRUE(rom.WriteTo(QFile::encodeName(Path(name)).toStdString()));
    return Path(name);
  }
  void LoadThePart() {
    EditingState& state = window.State();
    state.songSet = SongSet::One;
    ASSERT_TRUE(LoadPart(state, part));
    ASSERT_TRUE(CopyChannels(state));
    state.partLoaded = true;
  }
  int part = 0;
};

TEST_F(FileCommandsWithPartTest, SaveWritesBackTheEditedPart) {
  const QString path = WritePartRom(QStringLiteral("game.nes"), 0x24);
  Open(path);
  LoadThePart();
  const auto position = static_cast<std::size_t>(window.State().streamPosition[0]);
  window.State().channels->edit[0][1] = 0x40;
  Trigger("Save1");
  EXPECT_EQ(Read(path)[position + 1], 0x40);
}

TEST_F(FileCommandsWithPartTest, OpeningAnotherFileDropsTheLoadedPart) {
  const QString first = WritePartRom(QStringLiteral("first.nes"), 0x24);
  const QString second = WriteRom(QStringLiteral("second.nes"), 0x22);
  Open(first);
  LoadThePart();
  window.State().channels->edit[0][1] = 0x40;

  Open(second);
  EXPECT_FALSE(window.State().partLoaded);
  EXPECT_FALSE(window.State().channels.has_value());
  const Bytes before = Read(second);
  Trigger("Save1");
  EXPECT_EQ(Read(second), before);  // nothing of the first file's part
}

TEST_F(FileCommandsWithPartTest, FailedWriteBackIsReportedAndNothingIsWritten) {
  const QString path = WritePartRom(QStringLiteral("game.nes"), 0x24);
  Open(path);
  LoadThePart();
  // Buffers that no longer fit the image cannot be stored.
  window.State().streamPosition[0] = 0x60010;
  window.State().channels->edit[0][1] = 0x40;
  const Bytes onDisk = Read(path);
  for (const char* action : {"Save1", "SaveAs1"}) {
    dialogs.ClearRecords();
    dialogs.ChooseSaveFile(Path(QStringLiteral("copy.nes")));
    Trigger(action);
    ExpectOnlyMessage(QStringLiteral("Error transferring buffer to file"), QStringLiteral("Error!"));
  }
  EXPECT_EQ(Read(path), onDisk);
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("copy.nes"))));
}

TEST_F(FileCommandsTest, SaveOfAFileOpenedWithoutTheExtensionWritesASecondFile) {
  const QString path = WriteRom(QStringLiteral("game.bin"));
  Open(path);
  const Bytes onDisk = Read(path);
  window.State().romImage[kMarker] = 0x5C;
  Trigger("Save1");
  EXPECT_EQ(Status(), QStringLiteral("File saved successfully!"));
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Read(path), onDisk);  // the opened file stays as it was
  const Bytes written = Read(Path(QStringLiteral("game.bin.nes")));
  ASSERT_EQ(written.size(), 0x60010u);
  EXPECT_EQ(written[kMarker], 0x5C);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Kestrin Music Editor - ") + path);
}

// A file under the written name that this editor did not write since the
// last Open (notes, another ROM) is replaced only after a question about
// the name really written: Save of game.bin writes game.bin.nes, Save as
// "hack" writes hack.nes. The status line names the path as chosen.
TEST_F(FileCommandsTest, SavesAskBeforeReplacingAFileTheEditorDidNotWrite) {
  struct Case {
    const char* action;
    QString opened;
    QString chosen;
    QString written;
    QString savedStatus;
  };
  const QString hack = Path(QStringLiteral("hack"));
  for (const Case& c : {Case{"Save1", QStringLiteral("game.bin"), QString(), QStringLiteral("game.bin.nes"),
                             QStringLiteral("File saved successfully!")},
                        Case{"SaveAs1", QStringLiteral("game.nes"), hack, QStringLiteral("hack.nes"),
                             hack + QStringLiteral(" saved successfully!")}}) {
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
      const QString written = WriteRom(c.written, 0x99);
      Open(WriteRom(c.opened, 0x11));
      window.State().romImage[kMarker] = 0x5C;
      SetStatus(QStringLiteral("before"));
      if (!c.chosen.isEmpty()) dialogs.ChooseSaveFile(c.chosen);
      dialogs.AnswerNextMessage(answer);
      Trigger(c.action);

      ASSERT_EQ(dialogs.Messages().size(), 1u) << c.action;
      EXPECT_EQ(dialogs.Messages()[0].text, QStringLiteral("The file ") + written +
                                                QStringLiteral(" already exists. Replace it with the edited image?"));
      EXPECT_EQ(dialogs.Messages()[0].title, QStringLiteral("Warning!"));
      EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::YesNoWarningNoByDefault);
      EXPECT_LE(dialogs.SaveRequests().size(), 1u);
      EXPECT_EQ(Read(written)[kMarker], answer == MessageAnswer::Yes ? 0x5C : 0x99) << c.action;
      EXPECT_EQ(Status(), answer == MessageAnswer::Yes ? c.savedStatus : QStringLiteral("before")) << c.action;
      dialogs.ClearRecords();
    }
  }

  // Once Save wrote game.bin.nes, it is treated like the opened file.
  Open(Path(QStringLiteral("game.bin")));
  dialogs.AnswerNextMessage(MessageAnswer::Yes);
  Trigger("Save1");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  dialogs.ClearRecords();
  window.State().romImage[kMarker] = 0x5D;
  Trigger("Save1");
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Read(Path(QStringLiteral("game.bin.nes")))[kMarker], 0x5D);
  WriteRom(QStringLiteral("game.bin.nes"), 0x42);  // another program
  Trigger("Save1");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(Read(Path(QStringLiteral("game.bin.nes")))[kMarker], 0x42);
}

// The answer holds for the file as it stood when asked: another program
// changing it while the question is open makes Save ask again.
TEST_F(FileCommandsTest, AChangeWhileTheQuestionIsOpenIsAskedAbout) {
  struct Case {
    QString opened;
    QString written;
    QString question;
  };
  for (const Case& c : {Case{QStringLiteral("game.bin"), QStringLiteral("game.bin.nes"),
                             QStringLiteral(" already exists. Replace it with the edited image?")},
                        Case{QStringLiteral("game.nes"), QStringLiteral("game.nes"),
                             QStringLiteral(" was changed on disk by another program since it was opened. Overwrite "
                                            "it with the edited image?")}}) {
    const QString written = Path(c.written);
    Open(WriteRom(c.opened, 0x11));
    WriteRom(c.written, 0x21);  // before Save
    window.State().romImage[kMarker] = 0x5C;
    dialogs.AnswerNextMessage(MessageAnswer::Yes);
    dialogs.WhileNextMessageIsOpen([&] { WriteRom(c.written, 0x22); });
    dialogs.AnswerNextMessage(MessageAnswer::No);
    Trigger("Save1");

    ASSERT_EQ(dialogs.Messages().size(), 2u) << c.written.toStdString();
    for (const auto& message : dialogs.Messages()) EXPECT_EQ(message.text, QStringLiteral("The file ") + written + c.question);
    EXPECT_EQ(Read(written)[kMarker], 0x22);
    dialogs.ClearRecords();
  }
}

// Another program put a loop of symbolic links where the opened file was:
// whether it changed cannot be told, so Save asks.
TEST_F(FileCommandsTest, SaveAsksWhenTheFileCannotBeChecked) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  Open(path);
  ASSERT_TRUE(QFile::remove(path));
  ASSERT_TRUE(QFile::link(QStringLiteral("game.nes"), path));
  SetStatus(QStringLiteral("before"));
  Trigger("Save1");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text,
            QStringLiteral("The file ") + path +
                QStringLiteral(" could not be read to check whether another program changed it since it was opened. "
                               "Overwrite it with the edited image?"));
  EXPECT_EQ(dialogs.Messages()[0].title, QStringLiteral("Warning!"));
  EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::YesNoWarningNoByDefault);
  EXPECT_EQ(Status(), QStringLiteral("before"));
}

// Recovery files of a write in place that did not finish are named to the
// user at Open and at Save, and stay.
TEST_F(FileCommandsTest, RecoveryFilesAreShownAndKept) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  const QString first = WriteRom(QStringLiteral("game.nes.kme-recovery"), 0x31);
  const QString second = WriteRom(QStringLiteral("game.nes.kme-recovery-2"), 0x32);
  const QString shown = QStringLiteral("A save of ") + path +
                        QStringLiteral(" was interrupted while it wrote the file in place. The file as it was before "
                                       "that save is kept in:\n") +
                        first + u'\n' + second +
                        QStringLiteral("\nThe editor never removes it; remove it yourself once you no longer need it.");
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Ok);
  dialogs.AnswerNextMessage(MessageAnswer::No);  // no backup
  Trigger("Open1");
  ASSERT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(dialogs.Messages()[0].text, shown);
  EXPECT_EQ(dialogs.Messages()[0].title, QStringLiteral("Warning!"));
  EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::OkWarning);
  EXPECT_TRUE(window.State().fileLoaded);

  dialogs.ClearRecords();
  Trigger("Save1");
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].text, shown);
  EXPECT_EQ(Status(), QStringLiteral("File saved successfully!"));
  EXPECT_EQ(Read(first)[kMarker], 0x31);
  EXPECT_EQ(Read(second)[kMarker], 0x32);
}

// Lowers the soft file-size limit at chosen steps of a save, and puts the
// limit and SIGXFSZ back afterwards.
class FileSizeLimitAtSteps {
 public:
  FileSizeLimitAtSteps(rlim_t whenStarting, rlim_t whenCutShort) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    file_write_seams::RunAtEachStep([=, this](file_write_seams::WriteStep step) {
      rlimit cap = saved_;
      if (step == file_write_seams::WriteStep::InPlaceStarting) cap.rlim_cur = whenStarting;
      if (step == file_write_seams::WriteStep::InPlaceCutShort) cap.rlim_cur = whenCutShort;
      ::setrlimit(RLIMIT_FSIZE, &cap);
    });
  }
  ~FileSizeLimitAtSteps() {
    file_write_seams::Reset();
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimitAtSteps(const FileSizeLimitAtSteps&) = delete;
  FileSizeLimitAtSteps& operator=(const FileSizeLimitAtSteps&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
};

// A hard-linked ROM is written in place. When that write stops part way
// and the old bytes cannot be put back either, the user learns that the
// file holds a mix and where its old bytes are; when they came back, the
// usual message says the save failed.
TEST_F(FileCommandsTest, AnInPlaceSaveCutShortSaysWhatHappened) {
  const QString path = WriteRom(QStringLiteral("game.nes"), 0x11);
  ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(Path(QStringLiteral("other.nes"))).constData()),
            0);
  const QString recovery = path + QStringLiteral(".kme-recovery");
  const QString notRestored =
      QStringLiteral("The save stopped part way: ") + path +
      QStringLiteral(" now holds part of the edited image. The file as it was before this save is kept in ") +
      recovery + u'.';
  // The write stops after 4,096 bytes; putting them back is allowed or not.
  for (const auto& [limitWhenCutShort, shown, recoveryKept] :
       {std::tuple{rlim_t{8192}, kWriteFailedText, false}, std::tuple{rlim_t{0}, notRestored, true}}) {
    Open(path);
    const Bytes before = Read(path);
    window.State().romImage[0] = static_cast<std::uint8_t>(before[0] ^ 0xFF);
    SetStatus(QStringLiteral("before"));
    {
      const FileSizeLimitAtSteps limit(4096, limitWhenCutShort);
      Trigger("Save1");
    }
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].text, shown);
    EXPECT_EQ(dialogs.Messages()[0].title, QStringLiteral("Warning!"));
    EXPECT_EQ(dialogs.Messages()[0].style, MessageStyle::OkError);
    EXPECT_EQ(Status(), QStringLiteral("before"));
    EXPECT_EQ(QFile::exists(recovery), recoveryKept);
    if (recoveryKept) {
      EXPECT_EQ(Read(recovery), before);
    }
  }
}

// A save or backup whose folder cannot be synced is written, and the user
// learns that after a power cut the file may be as it was before.
TEST_F(FileCommandsTest, AFolderThatCannotBeSyncedIsReported) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  file_write_seams::RefuseFolderSyncs(true);
  dialogs.ChooseOpenFile(path);
  dialogs.AnswerNextMessage(MessageAnswer::Yes);  // backup
  Trigger("Open1");
  window.State().romImage[kMarker] = 0x5E;
  Trigger("Save1");
  file_write_seams::Reset();

  const QString backup = Path(QStringLiteral("game_backup.nes"));
  const QString tail =
      QStringLiteral(" was written, but its folder could not be synced to disk: after a power cut the file may be as "
                     "it was before.");
  ASSERT_EQ(dialogs.Messages().size(), 3u);
  EXPECT_EQ(dialogs.Messages()[1].text, backup + tail);
  EXPECT_EQ(dialogs.Messages()[2].text, path + tail);
  for (const std::size_t at : {1u, 2u}) {
    EXPECT_EQ(dialogs.Messages()[at].title, QStringLiteral("Warning!"));
    EXPECT_EQ(dialogs.Messages()[at].style, MessageStyle::OkWarning);
  }
  EXPECT_EQ(Status(), QStringLiteral("File saved successfully!"));
  EXPECT_EQ(Read(path)[kMarker], 0x5E);
  EXPECT_EQ(Read(backup)[kMarker], 0x11);
}

// Runs the event loop until the window closes (or gives up after a while),
// with `action` posted first; returns the loop's exit code.
int RunUntilClosed(const std::function<void()>& action) {
  QTimer::singleShot(0, action);
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  giveUp.start(10000);
  return QCoreApplication::exec();
}

TEST_F(FileCommandsTest, ExitWithUnsavedEditsEndsAtOnceAndLeavesTheFile) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  Open(path);
  const Bytes onDisk = Read(path);
  window.State().romImage[kMarker] = 0x7A;
  window.show();
  EXPECT_EQ(RunUntilClosed([this] { Trigger("Exit1"); }), 0);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_TRUE(dialogs.SaveRequests().empty());
  EXPECT_EQ(Read(path), onDisk);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("game.nes")});
}

TEST_F(FileCommandsTest, ClosingTheWindowWithUnsavedEditsEndsAtOnceAndLeavesTheFile) {
  const QString path = WriteRom(QStringLiteral("game.nes"));
  Open(path);
  const Bytes onDisk = Read(path);
  window.State().romImage[kMarker] = 0x7B;
  window.show();
  EXPECT_EQ(RunUntilClosed([this] { window.close(); }), 0);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Read(path), onDisk);
}

TEST_F(FileCommandsTest, PathsShowLiterallyInTheStatusLineAndTheCaption) {
  const QString path = WriteRom(QStringLiteral("<b>bold<i> [*] &amp; x.nes"));
  window.show();
  Open(path);
  const QString loaded = path + QStringLiteral(" loaded successfully!");
  auto* label = window.findChild<QLabel*>(QStringLiteral("StatusText"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), loaded);
  // Drawn as plain text, the tags take their own room; read as markup they
  // would vanish and leave a narrower line.
  EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(loaded));
  ASSERT_NE(window.windowHandle(), nullptr);
  EXPECT_EQ(window.windowHandle()->title(), QStringLiteral("Kestrin Music Editor - ") + path);
}

}  // namespace
}  // namespace kestrin
