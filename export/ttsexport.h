#pragma once
// The audio export of a project, followed on request by its transcript.

#include "export/textexport.h"

#include <atomic>
#include <string>
#include <vector>

class TTSProject;

// Outcome of one export, and the flag another thread sets to stop it before the next file.
struct TTSExportContext {
    bool ok = true;
    std::string error;
    std::atomic<bool> cancel{false};
};

// Writes "audio<ext>" (combined, more than one segment) or "audio<id><ext>" per segment into folder,
// then "text<textExt>" when withText. audioExt is ".wav" (copied), ".mp3" or ".aac" (encoded); textExt
// ".html" and ".pdf" pick their writers, anything else gets plain text. Stops at the first failure.
void tts_export(const TTSProject& project, const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                const std::string& folder, const std::string& audioExt, bool combine, bool withText,
                const std::string& textExt, bool withSpeaker, TTSExportContext& ctx);
