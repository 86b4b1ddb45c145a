#include "tests/voices/catalog/testpackage.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

la_ssize_t appendTo(archive*, void* out, const void* data, size_t size) {
    static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
    return static_cast<la_ssize_t>(size);
}

} // namespace

std::string makeTestZip(const std::vector<TestArchiveEntry>& entries) {
    std::string out;
    std::unique_ptr<archive, int (*)(archive*)> zip(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(zip.get());
    archive_write_set_bytes_in_last_block(zip.get(), 1);
    archive_write_open(zip.get(), &out, nullptr, appendTo, nullptr);
    for (const TestArchiveEntry& e : entries) {
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                       archive_entry_free);
        archive_entry_set_pathname(entry.get(), e.name.c_str());
        archive_entry_set_filetype(entry.get(), e.dir ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry.get(), e.dir ? 0755 : 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.data.size()));
        archive_write_header(zip.get(), entry.get());
        if (!e.data.empty()) {
            archive_write_data(zip.get(), e.data.data(), e.data.size());
        }
    }
    archive_write_close(zip.get());
    return out;
}

std::string makeTestPackage(const std::string& header, const std::string& archive) {
    const auto n = static_cast<uint32_t>(header.size());
    std::string out;
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((n >> shift) & 0xff));
    }
    return out + header + archive;
}

std::string testPackageHeader(const std::string& uid, int spk) {
    return "{\"uid\":\"" + uid + "\",\"spk\":" + std::to_string(spk) +
           ",\"lang\":\"en_US\",\"eng\":\"English\",\"native\":\"English\",\"name\":\"test\","
           "\"user_name\":\"Amy\",\"sex\":2,\"quality\":2}";
}

std::vector<TestArchiveEntry> testVoiceEntries(const std::string& top) {
    // Big enough for several 256 KiB chunks, so extraction reports progress more than once.
    return {{top + "/", "", true},
            {top + "/voice.onnx", std::string(600000, 'm')},
            {top + "/voice.onnx.json", "{\"audio\":{\"sample_rate\":22050}}"}};
}
