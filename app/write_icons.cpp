// Writes the program's icon as PNG files for the desktop's icon theme:
// write_icons DIR SIZE... creates DIR/<size>x<size>/kestrin-music-editor.png
// for each size. The build names the sizes, so the list lives in one place.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "app_icon.h"

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR SIZE...\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  for (int k = 2; k < argc; ++k) {
    const int size = std::atoi(argv[k]);
    if (size <= 0) {
      std::fprintf(stderr, "not a size: %s\n", argv[k]);
      return 2;
    }
    const QString folder = QStringLiteral("%1x%1").arg(size);
    if (!out.mkpath(folder)) return 1;
    const QString file = out.filePath(folder + QStringLiteral("/kestrin-music-editor.png"));
    if (!kestrin::DrawAppIcon(size).save(file, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
