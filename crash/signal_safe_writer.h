#pragma once
// Text output for code that runs inside a fatal-signal handler: no heap, no
// locks, no stdio, only write(2) on a file descriptor through a small buffer
// that lives in the writer itself (on the handler's stack).

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrin::crash {

class SafeWriter {
 public:
  explicit SafeWriter(int fd) : fd_(fd) {}
  // Collects into `text` instead (outside signal handlers: it allocates).
  explicit SafeWriter(std::string& text) : text_(&text) {}
  ~SafeWriter() { Flush(); }
  SafeWriter(const SafeWriter&) = delete;
  SafeWriter& operator=(const SafeWriter&) = delete;

  SafeWriter& Text(const char* text);
  SafeWriter& Bytes(const char* data, std::size_t size);
  SafeWriter& Decimal(long long value);
  // "0x" and lower-case digits, padded with zeros to `digits`.
  SafeWriter& Hex(std::uintptr_t value, int digits = 1);
  SafeWriter& Line() { return Bytes("\n", 1); }
  void Flush();

 private:
  int fd_ = -1;
  std::string* text_ = nullptr;
  char buffer_[512];
  std::size_t used_ = 0;
};

// Length of a NUL-terminated text (strlen is not on the async-signal-safe list).
std::size_t SafeLength(const char* text);

}  // namespace kestrin::crash
