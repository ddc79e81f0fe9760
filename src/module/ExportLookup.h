// The one way to look up an export under its real signature.
#pragma once

#include <windows.h>

namespace module {

template <typename Proc>
Proc findExport(void* module, const char* name)
{
    if (module == nullptr || name == nullptr)
        return nullptr;
    // FARPROC goes through the generic function type so that the cast to the
    // real signature is explicit about discarding FARPROC's own.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module), name)));
}

}  // namespace module
