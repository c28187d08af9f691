#pragma once
#include <exception>
#include <string>

#include "kelerr/error_status.h"
#include "morrowkit/error_location.h"
#include "platform/hresult.h"
#include "platform/wide.h"

namespace morrowkit {

// A failed library call: the HRESULT and the JSON location in the status,
// and the library's detailed result text, if it gave one, as the message.
class HResultException : public virtual std::exception {
 public:
  HResultException(HRESULT code, const ErrorLocation& location) noexcept;
  // detail: NUL-terminated UTF-16 text; null counts as none.
  HResultException(HRESULT code, const ErrorLocation& location, const platform::WideChar* detail);
  // The copy takes over the JSON text; the source keeps its code and message.
  HResultException(const HResultException& other);
  HResultException& operator=(const HResultException&) = delete;
  ~HResultException() override;

  // The location as {"file":...,"line":...,"component":...}, or null when
  // the text could not be allocated or was handed to a copy.
  virtual const char* GetErrorJson() const noexcept;
  const char* what() const noexcept override;

  HRESULT Code() const noexcept { return status_.code; }
  const kelerr::ErrorStatus& Status() const noexcept { return status_; }
  const std::string& Message() const noexcept { return message_; }

 private:
  // Mutable because a copy moves the text out of a const source.
  mutable kelerr::ErrorStatus status_;
  std::string message_;
};

class FailException : public HResultException {
 public:
  explicit FailException(const ErrorLocation& location) noexcept
      : HResultException(platform::kE_FAIL, location) {}
};

class UnexpectedException : public HResultException {
 public:
  explicit UnexpectedException(const ErrorLocation& location) noexcept
      : HResultException(platform::kE_UNEXPECTED, location) {}
};

class InvalidArgException : public HResultException {
 public:
  explicit InvalidArgException(const ErrorLocation& location) noexcept
      : HResultException(platform::kE_INVALIDARG, location) {}
};

}  // namespace morrowkit
