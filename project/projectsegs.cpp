// The segment operations of ProjectDb.
#include "project/projectdb.h"

#include "common/stringformat.h"
#include "project/sqlite3cursor.h"
#include "project/sqlite3row.h"
#include "project/sqlite3sql.h"

#include <chrono>

namespace {

int64_t now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

ProjectSeg readSeg(Sqlite3Cursor& cursor) {
    ProjectSeg seg;
    seg.id = cursor.getInt("id");
    seg.voice_id = cursor.getInt("voice_id");
    seg.srate = static_cast<float>(cursor.getDouble("srate"));
    seg.text = cursor.getText("text");
    seg.modified = cursor.getInt64("modified");
    seg.converted = cursor.getInt64("converted");
    seg.seconds = cursor.getDouble("seconds");
    seg.sentences = cursor.getInt("sentences");
    return seg;
}

// The non-blank lines of text, trimmed.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = trim_text(text.substr(begin, end - begin));
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        begin = end + 1;
    }
    return lines;
}

} // namespace

bool ProjectDb::segs(const std::function<void(const ProjectSeg&)>& callback) {
    std::vector<ProjectSeg> rows;
    {
        std::lock_guard<std::mutex> lock(mu_);
        Sqlite3Cursor cursor;
        if (!db_.query("select * from seg order by sort asc, id asc", cursor)) {
            return fail();
        }
        while (cursor.next()) {
            rows.push_back(readSeg(cursor));
        }
        if (cursor.failed()) {
            return fail();
        }
    }
    for (const auto& seg : rows) {
        callback(seg);
    }
    return true;
}

bool ProjectDb::insertSegsAfter(int anchorId, std::vector<ProjectSeg>& segs, int start, int count) {
    std::lock_guard<std::mutex> lock(mu_);
    if (start < 0 || start >= static_cast<int>(segs.size())) {
        return true;
    }
    const std::vector<ProjectSeg> before(segs.begin() + start, segs.end());
    if (!beginLocked()) {
        return false;
    }
    if (finishLocked(insertSegsLocked(anchorId, segs, start, count, now()))) {
        return true;
    }
    std::copy(before.begin(), before.end(), segs.begin() + start);
    return false;
}

bool ProjectDb::insertSegsLocked(int anchorId, std::vector<ProjectSeg>& segs, int start, int count,
                                 int64_t time) {
    int n = static_cast<int>(segs.size()) - start;
    if (count >= 1 && count < n) {
        n = count;
    }
    if (start < 0 || n <= 0) {
        return true;
    }

    int first = 0;
    if (anchorId >= 1) {
        Sqlite3Sql find("select sort from seg where id=?");
        find.addIntParam(anchorId);
        Sqlite3Cursor cursor;
        if (!cursor.init(db_.connection, &find)) {
            return false;
        }
        const int anchorSort = cursor.next() ? cursor.getInt("sort") : 0;
        if (cursor.failed()) {
            return false;
        }
        if (anchorSort > 0) {
            Sqlite3Sql shift(string_format("update seg set sort=sort+%d where sort > ?", n));
            shift.addIntParam(anchorSort);
            if (!db_.execute(&shift)) {
                return false;
            }
            first = anchorSort + 1;
        }
    }
    if (first == 0) {
        Sqlite3Cursor cursor;
        if (!db_.query("select sort from seg order by sort desc limit 1", cursor)) {
            return false;
        }
        first = cursor.next() ? cursor.getInt("sort") + 1 : 1;
        if (cursor.failed()) {
            return false;
        }
    }

    for (int i = 0; i < n; ++i) {
        ProjectSeg& seg = segs[start + i];
        seg.modified = time;
        Sqlite3Row row;
        row["sort"] = Sqlite3Variant::fromInt(first + i);
        row["voice_id"] = Sqlite3Variant::fromInt(seg.voice_id);
        row["srate"] = Sqlite3Variant::fromDouble(seg.srate);
        row["text"] = Sqlite3Variant::fromText(seg.text);
        row["modified"] = Sqlite3Variant::fromInt64(seg.modified);
        Sqlite3Sql insert;
        row.insertSql(insert, "seg", {}, "INSERT INTO");
        if (!db_.execute(&insert)) {
            return false;
        }
        seg.id = static_cast<int>(db_.lastInsertRowId());
    }
    return true;
}

bool ProjectDb::updateSeg(ProjectSeg& seg) {
    std::lock_guard<std::mutex> lock(mu_);
    return updateSegLocked(seg, now()) || fail();
}

bool ProjectDb::updateSegLocked(ProjectSeg& seg, int64_t time) {
    Sqlite3Sql sql("update seg set voice_id=?, srate=?, text=?, modified=? where id=?");
    sql.addIntParam(seg.voice_id);
    sql.addDoubleParam(seg.srate);
    sql.addTextParam(seg.text);
    sql.addInt64Param(time);
    sql.addIntParam(seg.id);
    if (!db_.execute(&sql)) {
        return false;
    }
    seg.modified = time;
    return true;
}

bool ProjectDb::updateAndSplitSeg(const ProjectSeg& edited, const std::string& text,
                                  std::vector<ProjectSeg>& out) {
    out.clear();
    for (auto& line : splitLines(text)) {
        ProjectSeg seg = edited;
        seg.text = std::move(line);
        seg.seconds = 0;
        out.push_back(std::move(seg));
    }
    if (out.empty()) {
        ProjectSeg seg = edited;
        seg.text.clear();
        seg.seconds = 0;
        out.push_back(std::move(seg));
    }

    std::lock_guard<std::mutex> lock(mu_);
    if (!beginLocked()) {
        out.clear();
        return false;
    }
    const int64_t time = now();
    bool ok = false;
    if (edited.id == 0) {
        ok = insertSegsLocked(0, out, 0, 0, time);
    } else {
        ok = updateSegLocked(out[0], time) && insertSegsLocked(edited.id, out, 1, 0, time);
    }
    if (finishLocked(ok)) {
        return true;
    }
    out.clear();
    return false;
}

bool ProjectDb::removeSegLocked(int id) {
    Sqlite3Sql sql("delete from seg where id=?");
    sql.addIntParam(id);
    return db_.execute(&sql);
}

bool ProjectDb::removeSeg(int id, const std::function<void(int)>& removed) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!removeSegLocked(id)) {
            return fail();
        }
    }
    if (removed) {
        removed(id);
    }
    return true;
}

bool ProjectDb::mergeSegs(ProjectSeg& kept, int mergedId, const std::string& mergedText,
                          const std::function<void(int)>& removed) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        const ProjectSeg before = kept;
        if (!beginLocked()) {
            return false;
        }
        kept.text = trim_text(kept.text + " " + mergedText);
        if (!finishLocked(removeSegLocked(mergedId) && updateSegLocked(kept, now()))) {
            kept = before;
            return false;
        }
    }
    // After the commit, so a merge that was undone never deletes the merged segment's audio.
    if (removed) {
        removed(mergedId);
    }
    return true;
}

bool ProjectDb::updateConverted(ProjectSeg& seg, double seconds, int sentences) {
    std::lock_guard<std::mutex> lock(mu_);
    const int64_t time = now();
    Sqlite3Sql sql("update seg set converted=?, seconds=?, sentences=? where id=?");
    sql.addInt64Param(time);
    sql.addDoubleParam(seconds);
    sql.addIntParam(sentences);
    sql.addIntParam(seg.id);
    if (!db_.execute(&sql)) {
        return fail();
    }
    seg.converted = time;
    seg.seconds = seconds;
    seg.sentences = sentences;
    return true;
}

bool ProjectDb::updateDefaultVoiceSegsModified() {
    std::lock_guard<std::mutex> lock(mu_);
    return updateDefaultVoiceSegsModifiedLocked() || fail();
}

bool ProjectDb::updateDefaultVoiceSegsModifiedLocked() {
    Sqlite3Sql sql("update seg set modified=? where voice_id=0");
    sql.addInt64Param(now());
    return db_.execute(&sql);
}
