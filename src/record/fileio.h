#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace halyx {

enum class ReadFileStatus { Ok, CannotOpen, NotAFile, TooLarge, ReadError };

// Reads a whole regular file into buffer. Folders, pipes and devices are refused (a pipe or a
// device might never end), and so are files larger than maxBytes.
ReadFileStatus ReadWholeFile(const std::string& path, std::string& buffer, size_t maxBytes);

// Writes text to a temporary file beside path and renames it over path, so that a failed write
// never leaves a half-written file under the final name.
bool WriteWholeFile(const std::string& path, std::string_view text);

// The same for text given in parts, written in order; when check is given it is called with the
// temporary file's path once the file is complete and closed, and false from it leaves path as
// it was (the temporary file is removed).
bool WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts,
                    const std::function<bool(const std::string& written)>& check = {});

} // namespace halyx
