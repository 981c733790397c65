#pragma once
// Every text the shell shows: captions, filters, status lines and message
// boxes. Code and tests read them from here.

#include <QString>

namespace kestrin::shell_texts {

inline const QString kProgramName = QStringLiteral("Kestrin Music Editor");
inline const QString kVersion = QStringLiteral(KESTRIN_VERSION);
inline const QString kCaptionFilePrefix = QStringLiteral("Kestrin Music Editor - ");
inline const QString kWelcome = QStringLiteral("Welcome to the Kestrin Music Editor !");

// Menu.
inline const QString kFileMenu = QStringLiteral("&File");
inline const QString kOpenItem = QStringLiteral("&Open");
inline const QString kSaveItem = QStringLiteral("&Save");
inline const QString kSaveAsItem = QStringLiteral("Sa&ve as...");
inline const QString kExitItem = QStringLiteral("&Exit");
inline const QString kEditMenu = QStringLiteral("&Edit");
// Qt adds the name of the step after these ("Undo Tempo").
inline const QString kUndoItem = QStringLiteral("&Undo");
inline const QString kRedoItem = QStringLiteral("&Redo");

// Names of the undo steps.
inline const QString kNoteEditSquare1 = QStringLiteral("note edit on Square 1");
inline const QString kMuteEditSquare1 = QStringLiteral("mute edit on Square 1");
inline const QString kPropertyEditSquare1 = QStringLiteral("property edit on Square 1");
inline const QString kFirstByteEditSquare1 = QStringLiteral("first byte edit on Square 1");
inline const QString kNoteEditSquare2 = QStringLiteral("note edit on Square 2");
inline const QString kFirstPartStep = QStringLiteral("First part");
inline const QString kLastPartStep = QStringLiteral("Last part");
inline const QString kLoopPartStep = QStringLiteral("Loop part");
inline const QString kPartListEntryStep = QStringLiteral("part list entry");
inline const QString kTempoStep = QStringLiteral("Tempo");
inline const QString kPartAddressStep = QStringLiteral("Part Address");
inline const QString kSquare2OffsetStep = QStringLiteral("Square2 offset");
inline const QString kTriangleOffsetStep = QStringLiteral("Triangle offset");
inline const QString kNoiseOffsetStep = QStringLiteral("Noise offset");
inline const QString kDmcOffsetStep = QStringLiteral("DMC offset");
// Where a step was made, after its name: "note edit on Square 1 (song 01,
// line 2)", "First part (song 01)".
inline const QString kStepAtPlace = QStringLiteral("%1 (%2)");
inline const QString kSongPlace = QStringLiteral("song %1");
inline const QString kSongLinePlace = QStringLiteral("%1, line %2");
// The status line after an undo or a redo; %1 is the step's name and place.
inline const QString kUndoneStatus = QStringLiteral("Undone: %1");
inline const QString kRedoneStatus = QStringLiteral("Redone: %1");

// Pages of PC_ChannelSelect, in tab order.
inline const QString kSongPageCaption = QStringLiteral("Song and part selection");
inline const QString kSquare1Caption = QStringLiteral("Square 1");
inline const QString kSquare2Caption = QStringLiteral("Square 2");
inline const QString kTriangleCaption = QStringLiteral("Triangle");
inline const QString kNoiseCaption = QStringLiteral("Noise");
inline const QString kDmcCaption = QStringLiteral("DMC");
inline const QString kOptionsCaption = QStringLiteral("Options");

// File dialogs (the save filter really reads "Nes").
inline const QString kOpenFilter = QStringLiteral("NES files (*.nes);;All Files (*.*)");
inline const QString kSaveFilter = QStringLiteral("Nes files (*.nes);;All Files (*.*)");

// File commands.
inline const QString kLoadedSuffix = QStringLiteral(" loaded successfully!");
inline const QString kSavedSuffix = QStringLiteral(" saved successfully!");
inline const QString kFileSaved = QStringLiteral("File saved successfully!");
inline const QString kOpenFirst = QStringLiteral("You should open a file before saving!");
inline const QString kBackupQuestion =
    QStringLiteral("Would you like to make a backup copy of the file ? (recommended)");
inline const QString kBackupTitle = QStringLiteral("Backup");
// Shown when the backup the user asked for could not be written; the path
// of the backup file follows.
inline const QString kBackupFailed = QStringLiteral("The backup copy could not be written: ");
// Status line after the backup; %1 is the backup file's path.
inline const QString kBackupWritten = QStringLiteral("Backup copy written to %1");
inline const QString kBackupNotNeeded =
    QStringLiteral("No backup copy needed: %1 already holds exactly this file");
// Asked before Save overwrites a file another program changed; %1 is its path.
inline const QString kChangedOnDiskQuestion = QStringLiteral(
    "The file %1 was changed on disk by another program since it was opened. Overwrite it with the edited "
    "image?");
// Asked before a save replaces a file this editor did not open or write
// since the last Open (Save as: any file); %1 is the path written.
inline const QString kReplaceQuestion =
    QStringLiteral("The file %1 already exists. Replace it with the edited image?");
// Asked before Save overwrites a file the editor read or wrote that can no
// longer be read to tell whether another program changed it; %1 is its path.
inline const QString kUncheckedOnDiskQuestion = QStringLiteral(
    "The file %1 could not be read to check whether another program changed it since it was opened. "
    "Overwrite it with the edited image?");
// Shown when Open or a save finds recovery files of a file; %1 is the file,
// %2 the recovery files, one per line.
inline const QString kRecoveryFilesFound = QStringLiteral(
    "A save of %1 was interrupted while it wrote the file in place. The file as it was before that save is "
    "kept in:\n%2\nThe editor never removes it; remove it yourself once you no longer need it.");
// A write in place stopped part way and the old bytes could not be put
// back; %1 is the file, %2 its recovery file.
inline const QString kWriteNotRestored = QStringLiteral(
    "The save stopped part way: %1 now holds part of the edited image. The file as it was before this save is "
    "kept in %2.");
// The bytes were written but the folder could not be synced; %1 is the file.
inline const QString kFolderNotSynced = QStringLiteral(
    "%1 was written, but its folder could not be synced to disk: after a power cut the file may be as it was "
    "before.");
inline const QString kTransferFailed = QStringLiteral("Error transferring buffer to file");
inline const QString kTransferFailedTitle = QStringLiteral("Error!");
inline const QString kWriteFailed = QStringLiteral(
    "An error occured while saving the file. It may be read-only or used by another application.");
inline const QString kNoFileName = QStringLiteral("Couldn't save the file.");
inline const QString kWarningTitle = QStringLiteral("Warning!");

// Clicking a grid cell, or pressing Enter in the part list box, with no part chosen.
inline const QString kSelectPartFirst = QStringLiteral("You should select a part first!");

}  // namespace kestrin::shell_texts
