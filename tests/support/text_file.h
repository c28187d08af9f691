#pragma once
#include <string>

namespace test_support {

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// The JSON example that a documentation page shows under "## Full example";
// empty when the page has none.
std::string FullExampleOf(const std::string& page);

}  // namespace test_support
