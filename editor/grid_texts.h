#pragma once
// Texts the channel pages show. Code and tests read them from here.

#include <QString>

#include "shell_texts.h"

namespace kestrin::grid_texts {

// Showing a Square page, and clicking its grid, before a part is loaded.
inline const QString kSelectSongPartFirst = QStringLiteral("You should select a song part first!");
inline const QString kSelectPartFirst = shell_texts::kSelectPartFirst;
// Left by every display after the first: the old per-cell tables were freed.
inline const QString kCaseFree = QStringLiteral("CASE X FREE");
inline const QString kFirstByteRule = QStringLiteral("First byte can only be a property byte!");

// The Square 1 space label.
inline const QString kSpaceLabelStart = QStringLiteral("Available space : 0xFFF (# 4096)");
inline const QString kSpaceLabelHead = QStringLiteral("Available space : \nSquare1 : ");
inline const QString kSpaceLabelMiddle = QStringLiteral(" bytes\nPart    : ");
inline const QString kSpaceLabelTail = QStringLiteral(" bytes");

}  // namespace kestrin::grid_texts
