#pragma once
// Unpacking of voice package archives (any format and filter libarchive knows) into a folder.

#include <cstdint>
#include <functional>
#include <string>

namespace ziphelper {

// Fills buffer with up to capacity bytes: the count read, 0 at the end, -1 to stop (cancel).
using Reader = std::function<int(char* buffer, int capacity)>;
// Called after each chunk written: the file, the archive offset of its entry, the archive size.
// Returning false stops the extraction (cancellation).
using EntryCallback = std::function<bool(const std::string& path, int64_t position, int64_t total)>;

// Extracts below target and returns the path of the archive's first entry (no trailing separator),
// or "" on failure or cancellation. success is set true only when the whole archive was read;
// callers set it false beforehand. Entries that would land outside target are refused.
std::string unzip(const Reader& reader, int64_t total, const std::string& target, bool& success,
                  std::string* error, const EntryCallback& onEntry);

} // namespace ziphelper
