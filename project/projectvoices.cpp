// The voice operations of ProjectDb.
#include "project/projectdb.h"

#include "project/sqlite3cursor.h"
#include "project/sqlite3row.h"
#include "project/sqlite3sql.h"

namespace {

// The columns copied from an installed voice into a voice row.
Sqlite3Row voiceRow(const ProjectVoice& voice, const std::string& color) {
    Sqlite3Row row;
    row["uid"] = Sqlite3Variant::fromText(voice.uid);
    row["spk"] = Sqlite3Variant::fromInt(voice.spk);
    row["name"] = Sqlite3Variant::fromText(voice.name);
    row["color"] = Sqlite3Variant::fromText(color);
    row["lang"] = Sqlite3Variant::fromText(voice.lang);
    row["eng"] = Sqlite3Variant::fromText(voice.eng);
    row["native"] = Sqlite3Variant::fromText(voice.native);
    row["quality"] = Sqlite3Variant::fromInt(voice.quality);
    row["sex"] = Sqlite3Variant::fromInt(voice.sex);
    return row;
}

ProjectVoice readVoice(Sqlite3Cursor& cursor) {
    ProjectVoice voice;
    voice.id = cursor.getInt("id");
    voice.uid = cursor.getText("uid");
    voice.spk = cursor.getInt("spk");
    voice.name = cursor.getText("name");
    voice.color = cursor.getText("color");
    voice.lang = cursor.getText("lang");
    voice.eng = cursor.getText("eng");
    voice.native = cursor.getText("native");
    voice.quality = cursor.getInt("quality");
    voice.sex = cursor.getInt("sex");
    voice.srate = static_cast<float>(cursor.getDouble("srate"));
    return voice;
}

} // namespace

bool ProjectDb::setDefaultVoice(const ProjectVoice& voice, float speed, const std::string& color) {
    std::lock_guard<std::mutex> lock(mu_);
    Sqlite3Row row = voiceRow(voice, color);
    row["id"] = Sqlite3Variant::fromInt(0);
    row["srate"] = Sqlite3Variant::fromDouble(speed);
    Sqlite3Sql sql;
    row.insertSql(sql, "voice", {}, "replace into");
    // One transaction: a new default voice with segments still marked current would keep stale audio.
    if (!beginLocked()) {
        return false;
    }
    return finishLocked(db_.execute(&sql) && updateDefaultVoiceSegsModifiedLocked());
}

int ProjectDb::findVoiceExceptDefault(const ProjectVoice& voice) {
    std::lock_guard<std::mutex> lock(mu_);
    Sqlite3Sql sql("select id from voice where uid=? and spk=? and id <> 0");
    sql.addTextParam(voice.uid);
    sql.addIntParam(voice.spk);
    Sqlite3Cursor cursor;
    if (!cursor.init(db_.connection, &sql)) {
        fail();
        return -1;
    }
    const int id = cursor.next() ? cursor.getInt("id") : 0;
    if (cursor.failed()) {
        fail();
        return -1;
    }
    return id;
}

int ProjectDb::lastVoiceId() {
    std::lock_guard<std::mutex> lock(mu_);
    Sqlite3Cursor cursor;
    if (!db_.query("select max(id) from voice", cursor)) {
        fail();
        return -1;
    }
    const int id = cursor.next() ? cursor.getInt("max(id)") : 0;
    if (cursor.failed()) {
        fail();
        return -1;
    }
    return id;
}

int ProjectDb::insertVoice(const ProjectVoice& voice, const std::string& color) {
    std::lock_guard<std::mutex> lock(mu_);
    Sqlite3Sql sql;
    voiceRow(voice, color).insertSql(sql, "voice", {}, "INSERT INTO");
    if (!db_.execute(&sql)) {
        fail();
        return 0;
    }
    return static_cast<int>(db_.lastInsertRowId());
}

bool ProjectDb::voices(const std::function<void(const ProjectVoice&)>& callback, int id) {
    std::vector<ProjectVoice> rows;
    {
        std::lock_guard<std::mutex> lock(mu_);
        Sqlite3Sql sql(id >= 0 ? "select * from voice where id=?" : "select * from voice");
        if (id >= 0) {
            sql.addIntParam(id);
        }
        Sqlite3Cursor cursor;
        if (!cursor.init(db_.connection, &sql)) {
            return fail();
        }
        while (cursor.next()) {
            rows.push_back(readVoice(cursor));
        }
        if (cursor.failed()) {
            return fail();
        }
    }
    for (const auto& voice : rows) {
        callback(voice);
    }
    return true;
}
