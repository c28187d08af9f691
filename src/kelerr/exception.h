#pragma once
#include <cstdint>
#include <exception>
#include <initializer_list>

#include "kelerr/error_status.h"
#include "kelerr/set_error.h"

namespace kelerr {

class ExceptionBase {
 public:
  ExceptionBase() noexcept = default;
  ExceptionBase(std::int32_t code, std::initializer_list<Member> members) noexcept;
  // Takes the other's text; the other is left without it.
  ExceptionBase(const ExceptionBase& other) noexcept;
  ExceptionBase& operator=(const ExceptionBase&) = delete;
  virtual ~ExceptionBase();

  // The record's JSON text, or null when it has none.
  virtual const char* GetJson() const noexcept;

  ErrorStatus& Status() noexcept { return status_; }
  const ErrorStatus& Status() const noexcept { return status_; }

 private:
  // Mutable because copying moves the text out of a const source.
  mutable ErrorStatus status_;
};

class Exception : public virtual ExceptionBase, public virtual std::exception {
 public:
  Exception() noexcept = default;
  Exception(std::int32_t code, std::initializer_list<Member> members) noexcept;
  Exception(const Exception& other) noexcept;
  Exception& operator=(const Exception&) = delete;
  ~Exception() override;

  const char* GetJson() const noexcept override;
  // The record's JSON text, or "" when it has none.
  const char* what() const noexcept override;
};

}  // namespace kelerr
