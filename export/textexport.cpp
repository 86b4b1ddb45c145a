#include "export/textexport.h"

#include "common/stringformat.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// An application image as a CSS data address; empty data when the resource is not linked in.
std::string pngDataUrl(const char* resource) {
    QFile file(resource);
    QByteArray base64;
    if (file.open(QIODevice::ReadOnly)) {
        base64 = file.readAll().toBase64();
    }
    return "url(\"data:image/png;base64," + base64.toStdString() + "\")";
}

std::string cssRule(const char* selector, const std::vector<std::string>& declarations,
                    bool lastHasSemicolon) {
    std::string rule = std::string(selector) + " {\n";
    for (size_t i = 0; i < declarations.size(); ++i) {
        const bool last = i + 1 == declarations.size();
        rule += "    " + declarations[i] + (last && !lastHasSemicolon ? "" : ";") + "\n";
    }
    return rule + "}\n";
}

std::string styleSheet() {
    const std::vector<std::string> rules = {
        cssRule("*", {"font-family: Arial", "font-size: 12pt", "color: #333333"}, true),
        cssRule("p", {"margin: 5px 0 5px 0"}, true),
        cssRule("a", {"text-decoration: none"}, true),
        cssRule(".column", {"display: flex", "flex-direction: column"}, false),
        cssRule(".row-left", {"display: flex", "flex-direction: row"}, false),
        cssRule(".row-center", {"display: flex", "flex-direction: row", "justify-content: center"}, false),
        cssRule(".row-right", {"display: flex", "flex-direction: row-reverse"}, false),
        cssRule(".bb1",
                {"padding: 10px 11px 10px 25px", "border-image-source: " + pngDataUrl(":/res/bb1.png"),
                 "border-image-slice: 19 8 8 22 fill", "border-image-width: 19px 8px 8px 22px",
                 "border-image-repeat: stretch", "max-width: 80%", "margin: 5px 0 5px 0"},
                true),
        cssRule(".bb2",
                {"padding: 10px 25px 10px 12px", "border-image-source: " + pngDataUrl(":/res/bb2.png"),
                 "border-image-slice: 19 19 8 6 fill", "border-image-width: 19px 19px 8px 6px",
                 "border-image-repeat: stretch", "max-width: 80%", "margin: 5px 0 5px 0"},
                true),
        cssRule(".round",
                {"padding: 5px 7px 7px 7px", "border-image-source: " + pngDataUrl(":/res/round.png"),
                 "border-image-slice: 5 7 7 7 fill", "border-image-width: 5px 7px 7px 7px",
                 "border-image-repeat: stretch", "color: #586770", "margin: 10px 0 0 0"},
                true),
    };
    std::string css;
    for (const std::string& rule : rules) {
        css += "\n" + rule;
    }
    return css;
}

bool writeAll(std::FILE* f, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

// Flushes and closes; false with the system error when anything written so far did not reach the file.
bool finish(std::FILE* f, std::string& error) {
    const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
    const int savedErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!flushed || !closed) {
        error = std::strerror(flushed ? errno : savedErrno);
        return false;
    }
    return true;
}

} // namespace

std::string htmlEncode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '\n':
            out += "<br/>";
            break;
        case '\r':
            break;
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool tts_export_text_txt(const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                         const std::string& path, bool withSpeaker, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    for (const ProjectSeg& seg : segs) {
        const std::string block =
            withSpeaker ? string_format("%s:\n%s\n\n", voiceOf(seg.voice_id).name.c_str(), seg.text.c_str())
                        : string_format("%s\n\n", seg.text.c_str());
        if (!writeAll(f, block) || std::ferror(f)) {
            error = std::strerror(errno);
            std::fclose(f);
            return false;
        }
    }
    return finish(f, error);
}

bool tts_export_text_html(const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                          const std::string& path, bool withSpeaker, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    // Names and colours come from the voice catalogue: encoded, so they cannot inject markup.
    const std::string title = htmlEncode(std::filesystem::path(path).filename().string());
    std::string page = "<!DOCTYPE html>\n"
                       "<html lang=\"en\">\n"
                       "<head>\n"
                       "    <meta charset=\"UTF-8\">\n"
                       "    <meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">\n"
                       "    <meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">";
    page += string_format("<title>%s</title><style>", title.c_str());
    page += styleSheet();
    page += "</style></head><body><div class=\"column\">";
    bool ok = writeAll(f, page);
    for (const ProjectSeg& seg : segs) {
        std::string block = "<div class=\"row-left\"><div class=\"bb1\">";
        if (withSpeaker) {
            const ProjectVoice voice = voiceOf(seg.voice_id);
            block += string_format("<p style=\"text-align:left;color:%s\">%s</p>",
                                   htmlEncode(voice.color).c_str(), htmlEncode(voice.name).c_str());
        }
        block += htmlEncode(seg.text) + "</div></div>";
        ok = writeAll(f, block) && ok;
    }
    ok = writeAll(f, "</div></body></html>") && ok;
    if (!ok) {
        error = std::strerror(errno);
        std::fclose(f);
        return false;
    }
    return finish(f, error);
}
