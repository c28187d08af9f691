#pragma once
// Exceptions of the text utilities. Each records where it was raised; the
// message and code depend on the class only.
#include <cstdint>
#include <exception>
#include <new>

namespace kel {
namespace pex {

class Exception : public std::exception {
 public:
  Exception() = default;
  Exception(const char* source_file, std::int32_t source_line) : line(source_line), file(source_file) {}

  const char* what() const noexcept override;
  virtual std::int32_t GetErrorCode() const noexcept;

  std::int32_t line = 0;
  const char* file = nullptr;
};

class InvalidArgument : public Exception {
 public:
  using Exception::Exception;
  const char* what() const noexcept override;
  std::int32_t GetErrorCode() const noexcept override;
};

class OutOfRange : public Exception {
 public:
  using Exception::Exception;
  const char* what() const noexcept override;
  std::int32_t GetErrorCode() const noexcept override;
};

class BufferOverflow : public Exception {
 public:
  using Exception::Exception;
  const char* what() const noexcept override;
  std::int32_t GetErrorCode() const noexcept override;
};

class InvalidSequence : public Exception {
 public:
  using Exception::Exception;
  const char* what() const noexcept override;
  std::int32_t GetErrorCode() const noexcept override;
};

// Allocation failure of the string holders; the message does not depend on the C++ runtime.
class BadAllocation : public std::bad_alloc {
 public:
  const char* what() const noexcept override;
};

}  // namespace pex
}  // namespace kel
