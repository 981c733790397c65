#pragma once
// Black ink vanishes on the dark buttons of a dark theme: a thin light rim
// around every stroke keeps a picture readable on light and dark buttons.

#include <QImage>

namespace kestrin {

// `picture` over a light copy of itself moved by one pixel each way: every
// pixel next to an inked one, and not inked itself, turns light.
QImage WithLightRim(const QImage& picture);

}  // namespace kestrin
