#pragma once
// Caps what the user can type into a box without cutting the text the
// program puts there: QLineEdit's own maximum length would cut the part
// list box's start-up text. Deleting from a longer text always works; a
// paste that would pass the cap is cut to it.

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
  qsizetype shownLength_;  // length of the box's text before the edit at hand
};

}  // namespace kestrin
