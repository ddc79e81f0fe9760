// Exports what the foundation recorded for this library when it was loaded.
#include <cstdint>
#include <cstring>

#include "foundation/ModuleState.h"

namespace {

Korvanta::SharedString probeValue(int32_t which)
{
    switch (which) {
    case 0:
        return Korvanta::moduleFolder();
    case 1:
        return Korvanta::moduleFileName();
    case 2:
        return Korvanta::getAppFolder();
    case 3:
        return Korvanta::registryRoot();
    case 4:
        return Korvanta::appRelativePath();
    }
    return Korvanta::SharedString();
}

}  // namespace

// Copies text `which` into the caller's buffer: 0 when copied, else the size needed.
extern "C" __declspec(dllexport) int32_t probeText(int32_t which, char* buffer, int32_t size)
{
    Korvanta::SharedString text = probeValue(which);
    int32_t needed = text.getLength() + 1;
    if (!buffer || size < needed)
        return needed;
    std::memcpy(buffer, text.c_str(), size_t(needed));
    return 0;
}
