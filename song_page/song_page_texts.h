#pragma once
// What the song page says: status line texts, message boxes, captions.

#include <QString>

#include "shell_texts.h"

namespace kestrin::song_page_texts {

inline const QString kOpenFileFirst = QStringLiteral("You should open a file first!");
inline const QString kLoadFileFirst = QStringLiteral("You should load a file first!");
inline const QString kSelectSongFirst = QStringLiteral("You should select a song first!");
inline const QString kSelectPartFirst = shell_texts::kSelectPartFirst;
inline const QString kGetSongPartsFailed = QStringLiteral("GetSongParts failed !");
inline const QString kSelectedSong = QStringLiteral("Selected song %1");  // %1: hex number
inline const QString kInvalidNumber = QStringLiteral("Invalid number");

inline const QString kLoopPartHint = QStringLiteral(
    "This is the part from where the song will loop, useful if you want to add an intro part "
    "to the song for example.");
inline const QString kPartsHint =
    QStringLiteral("Make sure you know what you're doing when you change parts!");
inline const QString kTempoHint =
    QStringLiteral("Tempo should be a multiple of 10 to work properly!");
inline const QString kPartAddressHint = QStringLiteral(
    "This is the NES part address; it also defines the start of the Square1 channel.");

inline const QString kWarningTitle = shell_texts::kWarningTitle;
inline const QString kFirstAboveLast =
    QStringLiteral("First part is higher than last part, the game may not work properly!");
inline const QString kLastBelowFirst =
    QStringLiteral("Last part is lower than first part, the game may not work properly!");
inline const QString kLoopOutOfBounds = QStringLiteral(
    "Loop part is out of song's parts bounds, the game may not work properly!");

inline const QString kLoadErrorTitle = QStringLiteral("Error");
inline const QString kLoadError = QStringLiteral("Could not load song part!");
inline const QString kCopyErrorTitle = QStringLiteral("Error!");
inline const QString kCopyError =
    QStringLiteral("Could not copy channels into buffer for editing!");
inline const QString kWriteBackErrorTitle = shell_texts::kTransferFailedTitle;
inline const QString kWriteBackError = shell_texts::kTransferFailed;

inline const QString kPartsStartText = QStringLiteral("E_Parts");
inline const QString kZeroText = QStringLiteral("00");

}  // namespace kestrin::song_page_texts
