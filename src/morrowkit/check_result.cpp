#include "morrowkit/check_result.h"

#include "morrowkit/hresult_exception.h"

namespace morrowkit {

void ThrowHResult(HRESULT code, const ErrorLocation& location) { throw HResultException(code, location); }

void ThrowHResult(HRESULT code, const ErrorLocation& location, const platform::WideChar* detail) {
  throw HResultException(code, location, detail);
}

}  // namespace morrowkit
