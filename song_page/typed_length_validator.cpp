#include "typed_length_validator.h"

namespace kestrin {

TypedLengthValidator::TypedLengthValidator(int maxLength, QObject* parent)
    : QValidator(parent), maxLength_(maxLength) {}

QValidator::State TypedLengthValidator::validate(QString& input, int& /*position*/) const {
  return input.size() <= maxLength_ ? Acceptable : Invalid;
}

}  // namespace kestrin
