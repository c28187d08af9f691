#pragma once
#include <cstddef>

namespace test_support {

// The threads of this process now, whoever started them.
std::size_t ProcessThreadCount();

}  // namespace test_support
