#pragma once
// The PDF transcript: A4 at 120 dpi, one speech bubble per segment, page numbers at the foot.

#include "export/textexport.h"

// Paints on the GUI thread while the caller waits; may be called from any thread, the GUI thread
// included (it then runs a local event loop). Returns false with a message when the file cannot be
// written or there is no application object to paint with.
bool tts_export_text_pdf(const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                         const std::string& path, bool withSpeaker, std::string& error);
