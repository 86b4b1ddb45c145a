#include "project/pathutil.h"

#include "common/stringformat.h"
#include "common/tsfsys.h"

#include <cctype>
#include <cstring>

namespace {

const char* const kReservedNames[] = {"CON",  "PRN",  "AUX",  "CLOCK$", "NUL",  "COM1", "COM2", "COM3",
                                      "COM4", "COM5", "COM6", "COM7",   "COM8", "COM9", "LPT1"};

bool isReservedName(const std::string& name) {
    for (const char* reserved : kReservedNames) {
        if (name.size() != std::strlen(reserved)) {
            continue;
        }
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) {
            same = std::toupper(static_cast<unsigned char>(name[i])) == reserved[i];
        }
        if (same) {
            return true;
        }
    }
    return false;
}

std::string hexByte(char c) {
    return string_format("%%%02x", static_cast<unsigned char>(c));
}

bool existsAt(const std::filesystem::path& p) {
    std::error_code ec;
    // An unreadable status counts as free: a writer will then fail there instead of this loop never ending.
    const auto type = tsfsys::status(p, ec).type();
    return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
}

} // namespace

std::string pathutil::encodeFileNameWin(const std::string& name) {
    std::string out;
    if (isReservedName(name)) {
        for (char c : name) {
            out += hexByte(c);
        }
        return out;
    }
    static const char kUnsafe[] = "%\\/:*?\"<>|\n\r\t";
    for (char c : name) {
        if (c != '\0' && std::strchr(kUnsafe, c)) {
            out += hexByte(c);
        } else {
            out += c;
        }
    }
    return out;
}

std::filesystem::path validPath(const std::filesystem::path& candidate) {
    if (!existsAt(candidate)) {
        return candidate;
    }
    std::filesystem::path base = candidate;
    if (!base.has_filename() && base.has_parent_path()) {
        base = base.parent_path(); // "folder/" names the folder itself
    }
    const std::filesystem::path parent = base.parent_path();
    const std::string stem = base.stem().string();
    const std::string extension = base.extension().string();
    for (int d = 1;; ++d) {
        const std::filesystem::path next = parent / (string_format("%s(%d)", stem.c_str(), d) + extension);
        if (!existsAt(next)) {
            return next;
        }
    }
}
