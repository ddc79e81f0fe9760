// The fixed list of what the instrument can do, as the host asks by name.
#pragma once

#include <cstdint>

namespace bridge {

// Traces the question, then answers 1 for a name on the list (matched whole
// and case-sensitively) and -1 ("no", never 0) for any other, null included.
int32_t answerCanDo(const char* text);

}  // namespace bridge
