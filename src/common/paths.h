#pragma once

#include <string>
#include <string_view>

namespace halyx {

// Creates every folder along path, from its start down, one separator-terminated segment at a
// time ('/' and '\\' both separate). Text after the last separator is not created. Returns false
// for a path with no separator, or at the first segment that can neither be found nor created.
// The process's current directory is not changed.
bool CreatePath(std::string_view path);

// True when path names an existing folder.
bool FolderExists(std::string_view path);

// True when path names an existing file or folder. A pattern with '*' or '?' in its last
// component is true when at least one entry of that folder matches it.
bool FileExists(std::string_view path);

// Stored paths may come from the other desktop platform: backslashes become '/'.
std::string ToPortablePath(std::string_view path);

// True when path ends with '/' or '\\'.
bool EndsWithSeparator(std::string_view path);

// The last component of a path (after the last '/' or '\\').
std::string FileNamePart(std::string_view path);

// Everything up to and including the last separator ("" when there is none).
std::string FolderPart(std::string_view path);

// The program's home folder: $HALYX_HOME, or ~/Halyx. Always ends with '/'.
std::string HalyxHome();
// Default folders for experiment logs and scenarios, each ending with '/'.
std::string DefaultExpLogFolder();
std::string DefaultScenarioFolder();

} // namespace halyx
