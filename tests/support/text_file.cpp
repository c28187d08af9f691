#include "text_file.h"

#include <fstream>
#include <sstream>

namespace test_support {

std::string ReadFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string FullExampleOf(const std::string& page) {
  static const std::string kOpening = "```json\n";
  const std::size_t section = page.find("## Full example");
  if (section == std::string::npos) return "";
  const std::size_t begin = page.find(kOpening, section);
  if (begin == std::string::npos) return "";
  const std::size_t end = page.find("```", begin + kOpening.size());
  if (end == std::string::npos) return "";
  return page.substr(begin + kOpening.size(), end - begin - kOpening.size());
}

}  // namespace test_support
