// Base folders and "/"-form paths below them, plus the separator and split
// helpers those paths need.
#pragma once

#include <cstdint>

#include "SharedString.h"
#include "foundation/FolderKind.h"

namespace Korvanta {

// The base folder in "/" form ending in "/"; empty for an unknown kind or when
// the system cannot name the folder.
SharedString systemFolder(FolderKind kind);

// The base folder followed by each non-empty "/"-separated component of
// `relative`, each with a "/" after it. Empty when the base folder is empty.
SharedString folderPath(FolderKind kind, const char* relative);

// As folderPath, creating each directory on the way. When a directory cannot
// be created (or a file stands in its place) the path so far is replaced by
// the module folder and the remaining components continue below it.
SharedString createFolderPath(FolderKind kind, const char* relative);

// Every "\" becomes "/", except a leading "\\" pair (network path prefix).
void toForwardSlashes(SharedString& path);
void toForwardSlashes(char* path);

// Every "/" becomes "\". The text form returns its terminator (null for null).
void toBackslashes(SharedString& path);
char* toBackslashes(char* path);

// Copy the folder part (up to and including the last "/") or the file-name part
// (after it) of a "/"-separated path into `buffer`. Result: -1 for a null path;
// the size needed including the terminator when the buffer is null or smaller;
// 0 after copying.
int32_t splitFolder(const char* path, char* buffer, int32_t bufferSize);
int32_t splitFileName(const char* path, char* buffer, int32_t bufferSize);

}  // namespace Korvanta
