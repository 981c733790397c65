#pragma once
// The program's icon, drawn by the program itself: a black note on a light
// rounded square.

#include <QIcon>
#include <QImage>
#include <array>

namespace kestrin {

inline constexpr std::array<int, 3> kAppIconSizes{16, 32, 48};

// The icon at `size` by `size` pixels, 32-bit colour with alpha.
QImage DrawAppIcon(int size);
// All sizes of kAppIconSizes in one icon.
QIcon AppIcon();

}  // namespace kestrin
