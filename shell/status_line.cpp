#include "status_line.h"

#include <QLabel>

namespace kestrin {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this)) {
  setObjectName(QStringLiteral("StatusBar"));
  label_->setObjectName(QStringLiteral("StatusText"));
  // Paths and messages are shown as they are, never read as markup.
  label_->setTextFormat(Qt::PlainText);
  // A long message (a deep path) is cut at the edge; it never widens the
  // window's minimum size.
  label_->setMinimumWidth(1);
  label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  addWidget(label_, 1);
}

void StatusLine::Set(const QString& text) { label_->setText(text); }

QString StatusLine::Text() const { return label_->text(); }

}  // namespace kestrin
