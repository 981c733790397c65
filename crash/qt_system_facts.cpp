#include "qt_system_facts.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestrin {

std::vector<std::string> QtSystemLines() {
  std::vector<std::string> lines;
  lines.push_back(std::string("Qt: ") + qVersion() + " (built with " + QT_VERSION_STR + ")");
  lines.push_back("Platform plugin: " + QGuiApplication::platformName().toStdString());
  std::string screens = "Screens:";
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->geometry();
    screens += ' ' + std::to_string(area.width()) + 'x' + std::to_string(area.height()) + " at " +
               std::to_string(static_cast<int>(screen->logicalDotsPerInch())) + " dpi;";
  }
  if (QGuiApplication::screens().isEmpty()) screens += " none";
  lines.push_back(screens);
  return lines;
}

}  // namespace kestrin
