#pragma once
// The project's SQLite file: ordered text segments and the voices they speak with. One instance is
// shared by the project thread and the GUI thread, so every operation holds one mutex from start to
// end (including the read of SQLite's message), and operations of several statements run in one
// transaction: a failure or a crash leaves the project as it was.

#include "project/projecttypes.h"
#include "project/sqlite3db.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class ProjectDb {
public:
    ProjectDb() = default;
    ProjectDb(const ProjectDb&) = delete;
    ProjectDb& operator=(const ProjectDb&) = delete;
    ~ProjectDb(); // checkpoints the write-ahead log, then closes

    // Opens an existing project database, or creates a new one with the schema. A file that is not a
    // project database is refused and left untouched.
    bool open(const std::string& path);
    bool isOpen() const;

    // Calls back once per segment, in display order (after the read, outside the lock).
    bool segs(const std::function<void(const ProjectSeg&)>& callback);
    // Stores segs[start, start+count) (count < 1: to the end) right after the anchor, or at the end
    // when the anchor is < 1 or unknown. Sets each stored record's id and modified.
    bool insertSegsAfter(int anchorId, std::vector<ProjectSeg>& segs, int start, int count);
    bool updateSeg(ProjectSeg& seg);
    // Stores the first non-blank line of text in the segment and the others as new segments after it;
    // out receives every resulting record with its id.
    bool updateAndSplitSeg(const ProjectSeg& edited, const std::string& text, std::vector<ProjectSeg>& out);
    // The callback runs after a successful delete, before returning.
    bool removeSeg(int id, const std::function<void(int)>& removed);
    // Deletes segment mergedId and appends its text to kept.
    bool mergeSegs(ProjectSeg& kept, int mergedId, const std::string& mergedText,
                   const std::function<void(int)>& removed);
    bool updateConverted(ProjectSeg& seg, double seconds, int sentences);
    bool updateDefaultVoiceSegsModified();

    // Replaces voice row 0 and marks the default-voice segments as modified.
    bool setDefaultVoice(const ProjectVoice& voice, float speed, const std::string& color);
    // Id of a non-default row with the voice's uid and spk; 0 when none, -1 on failure.
    int findVoiceExceptDefault(const ProjectVoice& voice);
    // Largest voice id; 0 for an empty table, -1 on failure.
    int lastVoiceId();
    // Id of the new row, 0 on failure.
    int insertVoice(const ProjectVoice& voice, const std::string& color);
    // One row (id >= 0) or all rows (id < 0).
    bool voices(const std::function<void(const ProjectVoice&)>& callback, int id);

    // SQLite's message of the last failed operation.
    std::string lastError() const;

private:
    bool fail();
    bool openLocked(const std::string& path);
    bool checkSchema();
    void tune();
    bool beginLocked();
    // Commits when ok; otherwise (or when the commit fails) keeps SQLite's message and rolls back.
    bool finishLocked(bool ok);
    bool insertSegsLocked(int anchorId, std::vector<ProjectSeg>& segs, int start, int count, int64_t now);
    bool updateSegLocked(ProjectSeg& seg, int64_t now);
    bool removeSegLocked(int id);
    bool updateDefaultVoiceSegsModifiedLocked();

    mutable std::mutex mu_;
    Sqlite3DB db_;
    std::string lastError_;
};

// Removes the leading and trailing runs of CR, LF, tab, space and U+3000 IDEOGRAPHIC SPACE.
std::string trim_text(const std::string& text);
