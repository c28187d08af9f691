#pragma once
// Reading the tool's --json document.
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace cli_test {

// The entry of `targets` for that URL; throws when there is none.
inline const nlohmann::json& TargetIn(const nlohmann::json& document, const std::string& url) {
  for (const nlohmann::json& target : document.at("targets")) {
    if (target.at("target") == url) return target;
  }
  throw std::runtime_error("no target \"" + url + "\" in the output");
}

}  // namespace cli_test
