#include "tools/catalogserver/catalogserver.h"

#include "common/jsonobject.h"
#include "tools/catalogserver/packagebuilder.h"
#include "tools/catalogserver/samplemaker.h"

#include <httplib.h>
#include <json-c/json.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

namespace fs = std::filesystem;

namespace {

const char* const kColumns[] = {"uid",     "lang",       "eng",        "native",  "spk",
                                "name",    "user_name",  "sex",        "quality", "downloaded",
                                "clicked", "fav_amount", "fav_persons"};

bool parseSpeaker(const std::string& text, int& spk) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    spk = std::stoi(text);
    return true;
}

void logLine(const std::string& text) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::fprintf(stderr, "%s %s\n", stamp, text.c_str());
    std::fflush(stderr);
}

void fail(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain");
}

std::string toJson(json_object* value) {
    std::string text = jsonbuild::toString(value);
    json_object_put(value);
    return text;
}

} // namespace

struct CatalogServer::Impl {
    std::vector<CatalogVoice> voices;
    CatalogServerOptions options;
    httplib::Server http;
    std::mutex statsMutex;
    std::map<std::string, int> downloads;              // by uid
    std::map<std::pair<std::string, int>, int> clicks; // by (uid, spk)
    std::mutex sampleMutex;
    std::mutex archiveMutex;

    const CatalogVoice* findVoice(const std::string& uid) const {
        for (const CatalogVoice& v : voices) {
            if (v.uid == uid) {
                return &v;
            }
        }
        return nullptr;
    }

    // The voice and speaker a request names by its "uid" and "spk" values; null after an error answer.
    const CatalogSpeaker* lookup(const std::string& uid, const std::string& spkText, httplib::Response& res,
                                 const CatalogVoice*& voice) const {
        int spk = 0;
        voice = isServableUid(uid) ? findVoice(uid) : nullptr;
        if (!voice || !parseSpeaker(spkText, spk)) {
            fail(res, 404, "unknown voice");
            return nullptr;
        }
        const CatalogSpeaker* speaker = voice->speaker(spk);
        if (!speaker) {
            fail(res, 404, "unknown speaker");
        }
        return speaker;
    }

    SpeakerStats stats(const std::string& uid, int spk) {
        std::lock_guard<std::mutex> lock(statsMutex);
        return SpeakerStats{downloads[uid], clicks[{uid, spk}]};
    }

    void langs(httplib::Response& res) const {
        std::map<std::string, const CatalogVoice*> byCode;
        for (const CatalogVoice& v : voices) {
            byCode.emplace(v.lang, &v);
        }
        json_object* list = json_object_new_array();
        for (const auto& entry : byCode) {
            json_object* item = json_object_new_object();
            jsonbuild::addString(item, "lang", entry.first);
            jsonbuild::addString(item, "name", entry.second->eng);
            jsonbuild::addString(item, "native", entry.second->native);
            json_object_array_add(list, item);
        }
        res.set_content(toJson(list), "application/json");
    }

    void voiceList(const std::string& lang, httplib::Response& res) {
        json_object* table = json_object_new_object();
        json_object* cols = json_object_new_array();
        for (const char* name : kColumns) {
            json_object_array_add(cols, json_object_new_string(name));
        }
        json_object* rows = json_object_new_array();
        for (const CatalogVoice& v : voices) {
            if (v.lang != lang) {
                continue;
            }
            for (const CatalogSpeaker& s : v.speakers) {
                const SpeakerStats st = stats(v.uid, s.spk);
                json_object* row = json_object_new_array();
                for (const std::string& text : {v.uid, v.lang, v.eng, v.native}) {
                    json_object_array_add(row, json_object_new_string(text.c_str()));
                }
                json_object_array_add(row, json_object_new_int(s.spk));
                json_object_array_add(row, json_object_new_string(v.name.c_str()));
                json_object_array_add(row, json_object_new_string(s.userName.c_str()));
                for (int value : {s.sex, v.quality, st.downloaded, st.clicked, 0, 0}) {
                    json_object_array_add(row, json_object_new_int(value));
                }
                json_object_array_add(rows, row);
            }
        }
        json_object_object_add(table, "cols", cols);
        json_object_object_add(table, "rows", rows);
        res.set_content(toJson(table), "application/json");
    }

    void sample(const httplib::Request& req, httplib::Response& res) {
        const CatalogVoice* voice = nullptr;
        const CatalogSpeaker* speaker =
            lookup(req.get_param_value("uid"), req.get_param_value("spk"), res, voice);
        if (!speaker) {
            return;
        }
        const std::string stem = voice->uid + ".spk" + std::to_string(speaker->spk);
        fs::path file;
        std::string type;
        std::error_code ec;
        for (const auto& candidate :
             {std::make_pair(".mp3", "audio/mpeg"), std::make_pair(".wav", "audio/wav")}) {
            const fs::path p = voice->modelPath.parent_path() / (stem + candidate.first);
            if (file.empty() && fs::is_regular_file(p, ec)) {
                file = p;
                type = candidate.second;
            }
        }
        if (file.empty()) {
            file =
                options.cacheDir / "samples" / (voice->uid + "-spk" + std::to_string(speaker->spk) + ".wav");
            type = "audio/wav";
            std::lock_guard<std::mutex> lock(sampleMutex);
            std::string err;
            if (!fs::exists(file, ec) && !makeVoiceSample(*voice, *speaker, file, options.espeakData, err)) {
                logLine("sample of " + stem + " failed: " + err);
                fail(res, 500, "sample failed");
                return;
            }
        }
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        {
            std::lock_guard<std::mutex> lock(statsMutex);
            ++clicks[{voice->uid, speaker->spk}];
        }
        res.set_content(bytes, type.c_str());
    }

    void voicePath(const httplib::Request& req, httplib::Response& res) {
        const CatalogVoice* voice = nullptr;
        const CatalogSpeaker* speaker =
            lookup(req.get_param_value("uid"), req.get_param_value("spk"), res, voice);
        if (!speaker) {
            return;
        }
        std::string host = req.get_header_value("Host");
        if (host.empty()) {
            host = options.host + ":" + std::to_string(options.port);
        }
        res.set_redirect("http://" + host + "/packages/" + voice->uid + "/" + std::to_string(speaker->spk) +
                             ".pnvoice",
                         302);
    }

    void package(const httplib::Request& req, httplib::Response& res) {
        const CatalogVoice* voice = nullptr;
        const CatalogSpeaker* speaker = lookup(req.matches[1], req.matches[2], res, voice);
        if (!speaker) {
            return;
        }
        std::string err;
        fs::path archive;
        {
            std::lock_guard<std::mutex> lock(archiveMutex);
            archive = buildVoiceArchive(*voice, options.cacheDir / "archives", err);
        }
        std::error_code ec;
        const auto archiveSize = archive.empty() ? 0 : fs::file_size(archive, ec);
        auto in = std::make_shared<std::ifstream>(archive, std::ios::binary);
        if (archive.empty() || ec || !*in) {
            logLine("package of " + voice->uid + " failed: " + (err.empty() ? ec.message() : err));
            fail(res, 500, "package failed");
            return;
        }
        {
            std::lock_guard<std::mutex> lock(statsMutex);
            ++downloads[voice->uid];
        }
        const std::string prefix =
            packagePrefix(packageHeader(*voice, *speaker, stats(voice->uid, speaker->spk)));
        res.set_content_provider(
            prefix.size() + archiveSize, "application/octet-stream",
            [prefix, in](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset < prefix.size()) {
                    return sink.write(prefix.data() + offset, std::min(length, prefix.size() - offset));
                }
                std::vector<char> buffer(std::min<size_t>(length, 262144));
                in->seekg(static_cast<std::streamoff>(offset - prefix.size()));
                in->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                return in->gcount() > 0 && sink.write(buffer.data(), static_cast<size_t>(in->gcount()));
            });
    }
};

CatalogServer::CatalogServer(std::vector<CatalogVoice> voices, CatalogServerOptions options)
    : impl_(std::make_unique<Impl>()) {
    impl_->voices = std::move(voices);
    impl_->options = std::move(options);
    Impl* d = impl_.get();
    httplib::Server& http = d->http;
    http.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        logLine(req.remote_addr + " " + req.method + " " + req.target + " " + std::to_string(res.status));
    });
    // Only the routes below answer; a name is never taken as a file path, and ".." is refused outright.
    http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path.find("..") != std::string::npos || req.target.find("..") != std::string::npos) {
            fail(res, 400, "bad request");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.Get("/langs.php", [d](const httplib::Request&, httplib::Response& res) { d->langs(res); });
    http.Get("/voices.php", [d](const httplib::Request& req, httplib::Response& res) {
        d->voiceList(req.get_param_value("lang"), res);
    });
    http.Get("/voice_sample.php",
             [d](const httplib::Request& req, httplib::Response& res) { d->sample(req, res); });
    http.Get("/voice_path.php",
             [d](const httplib::Request& req, httplib::Response& res) { d->voicePath(req, res); });
    http.Get(R"(/packages/([A-Za-z0-9._-]+)/(\d+)\.pnvoice)",
             [d](const httplib::Request& req, httplib::Response& res) { d->package(req, res); });
}

CatalogServer::~CatalogServer() = default;

int CatalogServer::bind(std::string& err) {
    Impl& d = *impl_;
    if (d.options.port == 0) {
        d.options.port = d.http.bind_to_any_port(d.options.host);
    } else if (!d.http.bind_to_port(d.options.host, d.options.port)) {
        d.options.port = -1;
    }
    if (d.options.port < 0) {
        err = "cannot listen on " + d.options.host;
    }
    return d.options.port;
}

bool CatalogServer::run() {
    return impl_->http.listen_after_bind();
}

void CatalogServer::stop() {
    impl_->http.stop();
}
