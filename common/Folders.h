// Folders on the Windows side, for the programs and the tests.
#pragma once

#include <string>

namespace common {

// The system's folder for temporary files, with a trailing backslash.
std::string temporaryFolder();

// The folder of the running program, with a trailing backslash.
std::string executableFolder();

// `file` in the folder of the running program, unless it is a full path
// already ("C:\..." or "\\server\...").
std::string besideExecutable(const std::string& file);

// Copies `from` with everything below it into `to`, which may exist already
// (either with or without a trailing backslash). False when any folder or file could not be made.
bool copyFolder(const std::string& from, const std::string& to);

// Deletes the folder with everything below it, as far as it can.
void deleteFolder(const std::string& folder);

}  // namespace common
