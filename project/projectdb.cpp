// Opening, closing and the transaction and error plumbing of ProjectDb.
#include "project/projectdb.h"

#include "common/tsfsys.h"
#include "project/projectschema.h"
#include "project/sqlite3cursor.h"

#include <sqlite3.h>

namespace {

const char kTuning[] = "PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16000;";

void removeDatabaseFiles(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        tsfsys::remove(path + suffix, ec);
    }
}

} // namespace

ProjectDb::~ProjectDb() {
    std::lock_guard<std::mutex> lock(mu_);
    if (db_.connection) {
        sqlite3_wal_checkpoint(db_.connection, nullptr);
    }
    db_.close();
}

bool ProjectDb::isOpen() const {
    std::lock_guard<std::mutex> lock(mu_);
    return db_.connection != nullptr;
}

std::string ProjectDb::lastError() const {
    std::lock_guard<std::mutex> lock(mu_);
    return lastError_;
}

bool ProjectDb::fail() {
    lastError_ = db_.errorMessage();
    return false;
}

bool ProjectDb::open(const std::string& path) {
    std::lock_guard<std::mutex> lock(mu_);
    return openLocked(path);
}

bool ProjectDb::openLocked(const std::string& path) {
    if (db_.connection) {
        sqlite3_wal_checkpoint(db_.connection, nullptr);
        db_.close();
    }
    db_.path = path;
    std::error_code ec;
    const auto type = tsfsys::status(path, ec).type();
    const bool exists =
        type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;

    const int flags = exists ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db_.connection, flags, nullptr) != SQLITE_OK) {
        fail();
        db_.close();
        return false;
    }
    if (exists) {
        // SQLite opens any file lazily; refuse one that is not ours before anything writes to it.
        if (!checkSchema()) {
            db_.close();
            return false;
        }
    } else {
        std::string error;
        if (db_.exec(kProjectSchemaScript, &error) != SQLITE_OK) {
            lastError_ = error;
            db_.close();
            removeDatabaseFiles(path);
            return false;
        }
    }
    tune();
    return true;
}

void ProjectDb::tune() {
    // Inserting in the middle rewrites every later row and its index entry. In WAL mode NORMAL still
    // never corrupts the file (a power cut may drop the last commits, an application crash loses
    // nothing) and spares an fsync per edit; the larger cache keeps a 10,000-segment project in memory.
    db_.exec(kTuning, nullptr);
}

bool ProjectDb::checkSchema() {
    static const char* const probes[] = {
        "select id, sort, voice_id, srate, text, modified, converted, seconds, sentences from seg limit 0",
        "select id, uid, spk, name, color, lang, eng, native, quality, sex, srate from voice limit 0",
    };
    for (const char* probe : probes) {
        Sqlite3Cursor cursor;
        if (!db_.query(probe, cursor)) {
            lastError_ = "Invalid database. " + db_.errorMessage();
            return false;
        }
    }
    return true;
}

bool ProjectDb::beginLocked() {
    if (db_.exec("BEGIN IMMEDIATE", nullptr) != SQLITE_OK) {
        return fail();
    }
    return true;
}

bool ProjectDb::finishLocked(bool ok) {
    if (ok && db_.exec("COMMIT", nullptr) == SQLITE_OK) {
        return true;
    }
    fail();
    // A failed statement may already have ended the transaction; the error of this call is not news.
    db_.exec("ROLLBACK", nullptr);
    return false;
}
