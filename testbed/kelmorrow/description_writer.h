#pragma once
// Writes a model back as a hardware description that loads into the same model,
// with the profile the description gave, if any.
#include <string>

#include "hardware_model.h"

namespace kelmorrow {

// `exact` is cleared when something could not be written as it is: a string
// with an unpaired surrogate (repaired to U+FFFD) or a double that is not
// finite (left out).
std::string WriteDescription(const Model& model, bool& exact);

}  // namespace kelmorrow
