#include "status_line.h"

#include <QLabel>

namespace kestrin {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this)) {
  setObjectName(QStringLiteral("StatusBar"));
  label_->setObjectName(QStringLiteral("StatusText"));
  addWidget(label_, 1);
}

void StatusLine::Set(const QString& text) { label_->setText(text); }

QString StatusLine::Text() const { return label_->text(); }

}  // namespace kestrin
