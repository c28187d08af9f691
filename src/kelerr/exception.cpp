#include "kelerr/exception.h"

#include "kelerr/merge_status.h"

namespace kelerr {

ExceptionBase::ExceptionBase(std::int32_t code, std::initializer_list<Member> members) noexcept {
  SetError(status_, code, members);
}

ExceptionBase::ExceptionBase(const ExceptionBase& other) noexcept { MergeStatus(status_, other.status_); }

ExceptionBase::~ExceptionBase() { status_.Clear(); }

const char* ExceptionBase::GetJson() const noexcept { return status_.json; }

Exception::Exception(std::int32_t code, std::initializer_list<Member> members) noexcept
    : ExceptionBase(code, members) {}

Exception::Exception(const Exception& other) noexcept : ExceptionBase(other), std::exception(other) {}

Exception::~Exception() = default;

const char* Exception::GetJson() const noexcept { return ExceptionBase::GetJson(); }

const char* Exception::what() const noexcept {
  const char* json = GetJson();
  return json != nullptr ? json : "";
}

}  // namespace kelerr
