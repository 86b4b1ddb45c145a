#pragma once
// Non-throwing file-system calls, serialised per source file: each translation unit that includes this
// header gets its own `tsfsys::mu`, so changes are ordered within a module, not across modules.

#include <filesystem>
#include <mutex>
#include <system_error>

namespace tsfsys {
namespace {

[[maybe_unused]] std::mutex mu;

inline bool exists(const std::filesystem::path& p, std::error_code& ec) {
    std::lock_guard<std::mutex> lock(mu);
    return std::filesystem::exists(p, ec);
}

inline std::filesystem::file_status status(const std::filesystem::path& p, std::error_code& ec) {
    std::lock_guard<std::mutex> lock(mu);
    return std::filesystem::status(p, ec);
}

inline bool createDirectories(const std::filesystem::path& p, std::error_code& ec) {
    std::lock_guard<std::mutex> lock(mu);
    return std::filesystem::create_directories(p, ec);
}

inline void rename(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec) {
    std::lock_guard<std::mutex> lock(mu);
    std::filesystem::rename(from, to, ec);
}

inline bool remove(const std::filesystem::path& p, std::error_code& ec) {
    std::lock_guard<std::mutex> lock(mu);
    return std::filesystem::remove(p, ec);
}

inline std::uintmax_t removeAll(const std::filesystem::path& p, std::error_code& ec) {
    std::lock_guard<std::mutex> lock(mu);
    return std::filesystem::remove_all(p, ec);
}

} // namespace
} // namespace tsfsys
