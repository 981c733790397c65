// Writes the program's icon as PNG files for the desktop's icon theme:
// write_icons DIR creates DIR/<size>x<size>/kestrin-music-editor.png.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "app_icon.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  for (const int size : kestrin::kAppIconSizes) {
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
