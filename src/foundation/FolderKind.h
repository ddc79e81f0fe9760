// Selects the base folder of the folder operations in ModulePaths.h.
#pragma once

#include <cstdint>

namespace Korvanta {

enum FolderKind : int32_t {
    ModuleFolder = 0,   // the loaded module's own folder
    UserAppData = 1,    // CSIDL_APPDATA
    LocalAppData = 2,   // CSIDL_LOCAL_APPDATA, else CSIDL_APPDATA
    CommonAppData = 3,  // CSIDL_COMMON_APPDATA, else CSIDL_APPDATA
};

}  // namespace Korvanta
