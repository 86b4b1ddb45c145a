#pragma once
// Naming of folders from user-given names.

#include <filesystem>
#include <string>

namespace pathutil {
// Folder-safe form of a name: reserved device names and the characters % \ / : * ? " < > | LF CR TAB
// become "%" and two lower-case hex digits per byte.
std::string encodeFileNameWin(const std::string& name);
} // namespace pathutil

// The candidate when nothing exists there, else the first free "stem(d).ext" beside it, d = 1, 2, ...
std::filesystem::path validPath(const std::filesystem::path& candidate);
