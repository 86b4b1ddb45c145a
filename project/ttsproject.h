#pragma once
// An open project: its folder, manifest, database and the paths of its generated audio. One thread at
// a time uses an instance.

#include "common/jsonobject.h"
#include "project/projectdb.h"
#include "project/projecttypes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TTSProject {
public:
    TTSProject() = default;
    TTSProject(const TTSProject&) = delete;
    TTSProject& operator=(const TTSProject&) = delete;

    // Makes the folder, the database with the default voice (row 0) and the manifest.
    bool create(const std::filesystem::path& folder, const std::string& name, const ProjectVoice& voice,
                float speed);
    // Opens the database of an existing project; a missing or broken manifest does not stop it.
    bool open(const std::filesystem::path& folder);
    // Reads the manifest; true only when it is a JSON object.
    bool load(const std::filesystem::path& folder);
    bool saveManifest();

    void setProjectName(const std::string& name);
    std::string projectName() const;
    int64_t created() const;

    // F/audio, created when missing.
    std::filesystem::path audioDir() const;
    // F/audio/audio.wav: all converted segments joined.
    std::filesystem::path wavPath() const;
    // F/audio/seg<id>.wav
    std::filesystem::path segWav(int segId) const;
    // F/audio/seg<id>-sentences, created when missing.
    std::filesystem::path segSentencesDir(int segId) const;
    // F/audio/seg<id>-sentences/<n>.wav
    std::filesystem::path segSentencesWav(int segId, int sentence) const;
    // Deletes audio.wav and the segment's audio; errors are ignored.
    void removeSegWav(int segId) const;

    const std::filesystem::path& path() const { return path_; }
    const std::string& lastError() const { return lastError_; }

    ProjectDb db;

private:
    std::filesystem::path path_;
    JSONObject manifest_;
    std::string lastError_;
};

// One entry of the projects list.
struct TTSProjectInfo {
    std::string name;
    std::string path;
    int64_t created = 0;
};

// Every project folder with a readable manifest under projectsDir(), newest first.
void ttsprojects(std::vector<TTSProjectInfo>& list);
