#include "tools/catalogserver/packagebuilder.h"

#include "common/jsonobject.h"

#include <archive.h>
#include <archive_entry.h>
#include <json-c/json.h>

#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

std::string archiveError(archive* a) {
    const char* text = archive_error_string(a);
    return text ? text : "archive write failed";
}

bool addFile(archive* zip, const fs::path& source, const std::string& name, std::string& err) {
    std::error_code ec;
    const auto size = fs::file_size(source, ec);
    std::ifstream in(source, std::ios::binary);
    if (ec || !in) {
        err = "cannot read " + source.string();
        return false;
    }
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), name.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
    if (archive_write_header(zip, entry.get()) != ARCHIVE_OK) {
        err = archiveError(zip);
        return false;
    }
    std::vector<char> buffer(262144);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        if (archive_write_data(zip, buffer.data(), static_cast<size_t>(in.gcount())) < 0) {
            err = archiveError(zip);
            return false;
        }
    }
    return true;
}

bool writeArchive(const CatalogVoice& voice, const fs::path& target, std::string& err) {
    std::unique_ptr<archive, WriterDeleter> zip(archive_write_new());
    archive_write_set_format_zip(zip.get());
    archive_write_zip_set_compression_deflate(zip.get());
    if (archive_write_open_filename(zip.get(), target.c_str()) != ARCHIVE_OK) {
        err = archiveError(zip.get());
        return false;
    }
    std::unique_ptr<archive_entry, EntryDeleter> dir(archive_entry_new());
    archive_entry_set_pathname(dir.get(), (voice.uid + "/").c_str());
    archive_entry_set_filetype(dir.get(), AE_IFDIR);
    archive_entry_set_perm(dir.get(), 0755);
    if (archive_write_header(zip.get(), dir.get()) != ARCHIVE_OK) {
        err = archiveError(zip.get());
        return false;
    }
    if (!addFile(zip.get(), voice.modelPath, voice.uid + "/" + voice.uid + ".onnx", err) ||
        !addFile(zip.get(), voice.configPath, voice.uid + "/" + voice.uid + ".onnx.json", err)) {
        return false;
    }
    if (archive_write_close(zip.get()) != ARCHIVE_OK) {
        err = archiveError(zip.get());
        return false;
    }
    return true;
}

} // namespace

fs::path buildVoiceArchive(const CatalogVoice& voice, const fs::path& archiveDir, std::string& err) {
    const fs::path target = archiveDir / (voice.uid + ".zip");
    std::error_code ec;
    // A model newer than its archive (replaced in the folder) gets a fresh one.
    if (fs::exists(target, ec) &&
        fs::last_write_time(target, ec) >= fs::last_write_time(voice.modelPath, ec) &&
        fs::last_write_time(target, ec) >= fs::last_write_time(voice.configPath, ec)) {
        return target;
    }
    fs::create_directories(archiveDir, ec);
    const fs::path tmp = target.string() + ".tmp";
    if (!writeArchive(voice, tmp, err)) {
        fs::remove(tmp, ec);
        return fs::path();
    }
    fs::rename(tmp, target, ec);
    if (ec) {
        err = "cannot store " + target.string() + ": " + ec.message();
        return fs::path();
    }
    return target;
}

std::string packageHeader(const CatalogVoice& voice, const CatalogSpeaker& speaker,
                          const SpeakerStats& stats) {
    json_object* obj = json_object_new_object();
    jsonbuild::addString(obj, "uid", voice.uid);
    jsonbuild::addInt(obj, "spk", speaker.spk);
    jsonbuild::addString(obj, "lang", voice.lang);
    jsonbuild::addString(obj, "eng", voice.eng);
    jsonbuild::addString(obj, "native", voice.native);
    jsonbuild::addString(obj, "name", voice.name);
    jsonbuild::addString(obj, "user_name", speaker.userName);
    jsonbuild::addInt(obj, "sex", speaker.sex);
    jsonbuild::addInt(obj, "quality", voice.quality);
    jsonbuild::addInt(obj, "downloaded", stats.downloaded);
    jsonbuild::addInt(obj, "clicked", stats.clicked);
    jsonbuild::addInt(obj, "fav_amount", 0);
    jsonbuild::addInt(obj, "fav_persons", 0);
    std::string text = jsonbuild::toString(obj);
    json_object_put(obj);
    return text;
}

std::string packagePrefix(const std::string& header) {
    const auto n = static_cast<uint32_t>(header.size());
    std::string out;
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((n >> shift) & 0xff));
    }
    return out + header;
}
