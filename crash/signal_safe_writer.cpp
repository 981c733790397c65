#include "signal_safe_writer.h"

#include <unistd.h>

#include <cerrno>

namespace kestrin::crash {

std::size_t SafeLength(const char* text) {
  std::size_t length = 0;
  if (text == nullptr) return 0;
  while (text[length] != '\0') ++length;
  return length;
}

SafeWriter& SafeWriter::Text(const char* text) { return Bytes(text, SafeLength(text)); }

SafeWriter& SafeWriter::Bytes(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = data[i];
  }
  return *this;
}

SafeWriter& SafeWriter::Decimal(long long value) {
  char digits[24];
  int count = 0;
  const bool negative = value < 0;
  // Works on the magnitude as unsigned so that the smallest value survives.
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) Bytes("-", 1);
  while (count > 0) Bytes(&digits[--count], 1);
  return *this;
}

SafeWriter& SafeWriter::Hex(std::uintptr_t value, int digits) {
  char text[2 * sizeof(std::uintptr_t)];
  int count = 0;
  do {
    text[count++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  Bytes("0x", 2);
  for (int pad = count; pad < digits; ++pad) Bytes("0", 1);
  while (count > 0) Bytes(&text[--count], 1);
  return *this;
}

void SafeWriter::Flush() {
  if (text_ != nullptr) {
    text_->append(buffer_, used_);
    used_ = 0;
    return;
  }
  std::size_t done = 0;
  while (done < used_) {
    const ssize_t written = write(fd_, buffer_ + done, used_ - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;  // nowhere to put it; the rest is lost
    done += static_cast<std::size_t>(written);
  }
  used_ = 0;
}

}  // namespace kestrin::crash
