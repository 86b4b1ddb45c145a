#include "export/ttsexport.h"

#include "common/stringformat.h"
#include "common/tsfsys.h"
#include "export/ffmpegcmd.h"
#include "export/pdfexport.h"
#include "project/ttsproject.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Copies beside the target first, so a failed copy never leaves a truncated file under the final name.
bool copyWav(const fs::path& source, const fs::path& target, std::string& error) {
    fs::path temp = target;
    temp += ".tmp";
    std::error_code ec;
    fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        tsfsys::rename(temp, target, ec);
    }
    if (ec) {
        error = ec.message();
        std::error_code ignored;
        tsfsys::remove(temp, ignored);
        return false;
    }
    return true;
}

bool convertFile(const fs::path& source, const fs::path& target, const std::string& audioExt,
                 TTSExportContext& ctx) {
    if (audioExt == ".wav") {
        if (!copyWav(source, target, ctx.error)) {
            ctx.ok = false;
            return false;
        }
        return true;
    }
    std::string log;
    const int status =
        ffmpeg_main({"-vn", "-i", source.string(), "-ac", "2", "-ar", "22050", "-y", target.string()}, &log);
    if (status != 0) {
        ctx.ok = false;
        ctx.error = log.size() > 100 ? log.substr(log.size() - 100) : log;
        return false;
    }
    return true;
}

} // namespace

void tts_export(const TTSProject& project, const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                const std::string& folder, const std::string& audioExt, bool combine, bool withText,
                const std::string& textExt, bool withSpeaker, TTSExportContext& ctx) {
    ctx.cancel = false;
    ctx.error.clear();
    ctx.ok = true;
    if (segs.empty()) {
        return;
    }
    const fs::path dir(folder);
    if (combine && segs.size() > 1) {
        if (!ctx.cancel && !convertFile(project.wavPath(), dir / string_format("audio%s", audioExt.c_str()),
                                        audioExt, ctx)) {
            return;
        }
    } else {
        for (const ProjectSeg& seg : segs) {
            if (ctx.cancel) {
                break;
            }
            if (!convertFile(project.segWav(seg.id),
                             dir / string_format("audio%d%s", seg.id, audioExt.c_str()), audioExt, ctx)) {
                return;
            }
        }
    }
    if (!withText || ctx.cancel) {
        return;
    }
    const std::string textPath = (dir / string_format("text%s", textExt.c_str())).string();
    if (textExt == ".html") {
        ctx.ok = tts_export_text_html(segs, voiceOf, textPath, withSpeaker, ctx.error);
    } else if (textExt == ".pdf") {
        ctx.ok = tts_export_text_pdf(segs, voiceOf, textPath, withSpeaker, ctx.error);
    } else {
        ctx.ok = tts_export_text_txt(segs, voiceOf, textPath, withSpeaker, ctx.error);
    }
}
