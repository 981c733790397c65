#include "typed_length_validator.h"
#include "guarded_slot.h"

#include <QLineEdit>

namespace kestrin {

namespace {

qsizetype CommonHead(const QString& a, const QString& b) {
  qsizetype head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  return head;
}

// Whether `shorter` is `longer` with one run of characters taken out.
bool OneRunApart(const QString& longer, const QString& shorter) {
  if (shorter.size() >= longer.size()) return false;
  const qsizetype head = CommonHead(longer, shorter);
  return QStringView(shorter).mid(head) == QStringView(longer).right(shorter.size() - head);
}

}  // namespace

TypedLengthValidator::TypedLengthValidator(int maxLength, QLineEdit* box)
    : QValidator(box), maxLength_(maxLength), shownText_(box->text()) {
  // The box has already taken the new text when it asks for validation, so
  // the text before an edit is remembered from its last change.
  connect(box, &QLineEdit::textChanged, this, GuardedSlot([this](const QString& text) { shownText_ = text; }));
}

QValidator::State TypedLengthValidator::validate(QString& input, int& position) const {
  if (input.size() <= maxLength_) return Acceptable;
  if (OneRunApart(shownText_, input)) return Acceptable;  // only deletes
  if (shownText_.size() >= maxLength_ || !OneRunApart(input, shownText_)) return Invalid;
  // A paste into a short text: keep what fits.
  const qsizetype insertedAt = CommonHead(shownText_, input);
  const qsizetype room = maxLength_ - shownText_.size();
  input = shownText_.left(insertedAt) + input.mid(insertedAt, room) + shownText_.mid(insertedAt);
  position = static_cast<int>(insertedAt + room);
  return Acceptable;
}

}  // namespace kestrin
