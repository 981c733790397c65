#include "typed_length_validator.h"

#include <QLineEdit>
#include <algorithm>

namespace kestrin {

TypedLengthValidator::TypedLengthValidator(int maxLength, QLineEdit* box)
    : QValidator(box), maxLength_(maxLength), shownLength_(box->text().size()) {
  // The box has already taken the new text when it asks for validation, so
  // the length before an edit is remembered from its last change.
  connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { shownLength_ = text.size(); });
}

QValidator::State TypedLengthValidator::validate(QString& input, int& position) const {
  if (input.size() <= maxLength_) return Acceptable;
  const qsizetype before = shownLength_;
  if (input.size() < before) return Acceptable;  // deleting from a longer text
  if (before >= maxLength_) return Invalid;      // no room left to type into
  // A paste into a short text: keep what fits.
  input.truncate(maxLength_);
  position = std::min(position, static_cast<int>(maxLength_));
  return Acceptable;
}

}  // namespace kestrin
