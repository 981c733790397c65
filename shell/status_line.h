#pragma once
// The one-line message area at the bottom of the main window. Setting it
// replaces its whole text; menu hover tips never overwrite it.

#include <QStatusBar>
#include <QString>

class QLabel;

namespace kestrin {

class StatusLine : public QStatusBar {
  Q_OBJECT
 public:
  explicit StatusLine(QWidget* parent = nullptr);

  void Set(const QString& text);
  QString Text() const;

 private:
  QLabel* label_;
};

}  // namespace kestrin
