#include "ParameterLookup.h"

#include <cctype>
#include <cstdlib>

namespace host {

namespace {

std::string lowered(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

}  // namespace

bool findParameter(PluginInstance& plugin, const std::string& target, int32_t& index)
{
    char* end = nullptr;
    const long number = std::strtol(target.c_str(), &end, 10);
    if (!target.empty() && *end == '\0') {
        index = static_cast<int32_t>(number);
        return number >= 0 && number < plugin.parameterCount();
    }
    for (int32_t candidate = 0; candidate < plugin.parameterCount(); ++candidate) {
        if (lowered(plugin.text(effGetParamName, candidate, 64)) == lowered(target)) {
            index = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace host
