#pragma once
// Caps what the user can type into a box without cutting the text the
// program puts there: QLineEdit's own maximum length would cut the part
// list box's start-up text.

#include <QValidator>

namespace kestrin {

class TypedLengthValidator : public QValidator {
 public:
  TypedLengthValidator(int maxLength, QObject* parent);

  State validate(QString& input, int& position) const override;
  int MaxLength() const { return maxLength_; }

 private:
  int maxLength_;
};

}  // namespace kestrin
