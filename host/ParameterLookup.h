// Finds the parameter a --set names.
#pragma once

#include <cstdint>
#include <string>

#include "PluginInstance.h"

namespace host {

// `target` is an index (valid only below the parameter count) or a
// parameter's name, compared without case and trailing blanks; false when
// it names none.
bool findParameter(PluginInstance& plugin, const std::string& target, int32_t& index);

}  // namespace host
