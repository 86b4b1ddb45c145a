#include "voices/ziphelper.h"

#include "common/tsfsys.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <vector>

namespace fs = std::filesystem;

namespace ziphelper {

namespace {

constexpr int kBufferSize = 262144;

struct ExtractContext {
    const Reader* reader = nullptr;
    std::vector<char> buffer = std::vector<char>(kBufferSize);
    bool refused = false; // the reader asked to stop
};

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};

std::string cleanEntryName(const char* raw) {
    static const std::regex leadingDot("^\\./");
    std::string name = std::regex_replace(std::string(raw ? raw : ""), leadingDot, "");
    static const std::string banned = "\\:*?\"<>|\n\r\t";
    name.erase(
        std::remove_if(name.begin(), name.end(), [](char c) { return banned.find(c) != std::string::npos; }),
        name.end());
    return name;
}

// An entry must stay below the extraction folder: no absolute name and no ".." component.
bool staysInside(const std::string& name) {
    const fs::path p(name);
    if (p.is_absolute() || p.has_root_name() || p.has_root_directory()) {
        return false;
    }
    for (const fs::path& part : p) {
        if (part == "..") {
            return false;
        }
    }
    return true;
}

std::string archiveError(archive* ar) {
    const char* why = archive_error_string(ar);
    return std::string("read archive error. ") + (why ? why : "damaged archive");
}

std::string systemError() {
    return std::strerror(errno);
}

void setError(std::string* error, const std::string& text) {
    if (error) {
        *error = text;
    }
}

} // namespace

// libarchive client callbacks over the caller's reader.
struct ArchiveRead {
    static int open(archive*, void*) { return ARCHIVE_OK; }
    static la_ssize_t read(archive*, void* clientData, const void** block) {
        auto* ctx = static_cast<ExtractContext*>(clientData);
        *block = ctx->buffer.data();
        const int n = (*ctx->reader)(ctx->buffer.data(), kBufferSize);
        if (n < 0) {
            ctx->refused = true;
            return -1;
        }
        return n;
    }
    static int close(archive*, void*) { return ARCHIVE_OK; }
};

std::string unzip(const Reader& reader, int64_t total, const std::string& target, bool& success,
                  std::string* error, const EntryCallback& onEntry) {
    ExtractContext ctx;
    ctx.reader = &reader;
    std::unique_ptr<archive, ArchiveDeleter> ar(archive_read_new());
    archive_read_support_filter_all(ar.get());
    archive_read_support_format_all(ar.get());
    if (archive_read_open(ar.get(), &ctx, &ArchiveRead::open, &ArchiveRead::read, &ArchiveRead::close) !=
        ARCHIVE_OK) {
        success = false;
        setError(error, "archive_read_open failed.");
        return std::string();
    }

    std::string first;
    std::vector<char> chunk(kBufferSize);
    archive_entry* entry = nullptr;
    int r = ARCHIVE_OK;
    while ((r = archive_read_next_header(ar.get(), &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        const std::string name = cleanEntryName(archive_entry_pathname(entry));
        if (name.empty()) {
            continue;
        }
        const fs::path path = fs::path(target) / name;
        if (!staysInside(name)) {
            success = false;
            setError(error,
                     "create " + path.string() + " error. The entry would leave the extraction folder.");
            return std::string();
        }
        // "." names the extraction folder itself, which must never become the voice folder.
        if (fs::path(name).lexically_normal() == ".") {
            continue;
        }
        std::error_code ec;
        const auto type = archive_entry_filetype(entry);
        if (type == AE_IFDIR) {
            if (!tsfsys::exists(path, ec)) {
                tsfsys::createDirectories(path, ec);
            }
            if (first.empty()) {
                first = path.string();
            }
        } else if (type == AE_IFREG) {
            if (!tsfsys::exists(path.parent_path(), ec)) {
                tsfsys::createDirectories(path.parent_path(), ec);
            }
            if (first.empty()) {
                first = path.string();
            }
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            if (!file) {
                success = false;
                setError(error, "create " + path.string() + " error. " + systemError());
                return std::string();
            }
            for (;;) {
                const la_ssize_t n = archive_read_data(ar.get(), chunk.data(), chunk.size());
                if (n < 0) {
                    // A damaged archive or a refused read: never count a cut-off file as extracted.
                    success = false;
                    if (!ctx.refused) {
                        setError(error, archiveError(ar.get()));
                    }
                    return std::string();
                }
                if (n == 0) {
                    break;
                }
                file.write(chunk.data(), n);
                if (!file) {
                    success = false;
                    setError(error, "write " + path.string() + " error. " + systemError());
                    return std::string();
                }
                if (onEntry && !onEntry(path.string(), archive_read_header_position(ar.get()), total)) {
                    return std::string();
                }
            }
            file.flush();
        }
    }
    if (r != ARCHIVE_EOF) {
        // The walk ended on a read error, not at the archive's end: fail like a cancellation.
        success = false;
        if (!ctx.refused) {
            setError(error, archiveError(ar.get()));
        }
        return std::string();
    }
    ar.reset();
    success = true;
    static const std::regex trailingSeparator("[/\\\\]$");
    return std::regex_replace(first, trailingSeparator, "");
}

} // namespace ziphelper
