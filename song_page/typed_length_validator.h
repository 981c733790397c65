#pragma once
// Caps what the user can type into a box without cutting the text the
// program puts there: QLineEdit's own maximum length would cut the part
// list box's start-up text. Once the user edits, the box holds at most the
// cap; only deleting works on a longer text, and a paste into a short text
// is cut to what fits.

#include <QString>
#include <QValidator>

class QLineEdit;

namespace kestrin {

class TypedLengthValidator : public QValidator {
 public:
  // `box` is the line edit the validator guards (and its parent).
  TypedLengthValidator(int maxLength, QLineEdit* box);

  State validate(QString& input, int& position) const override;
  int MaxLength() const { return maxLength_; }

 private:
  int maxLength_;
  QString shownText_;  // the box's text before the edit at hand
};

}  // namespace kestrin
