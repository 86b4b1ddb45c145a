#include "project/projectschema.h"

const char* const kProjectSchemaScript = R"(
create table seg (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    sort INTEGER NOT NULL DEFAULT 0,
    voice_id INTEGER NOT NULL,
    srate REAL,
    text TEXT,
    modified INTEGER NOT NULL DEFAULT 0,
    converted INTEGER NOT NULL DEFAULT 0,
    seconds REAL,
    sentences INTEGER
);

create index idx_seg_sort on seg(sort);

create index idx_seg_voice on seg(voice_id);

create table voice (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    uid VARCHAR NOT NULL,
    spk INTEGER NOT NULL,
    name VARCHAR,
    color VARCHAR,
    lang VARCHAR,
    eng VARCHAR,
    native VARCHAR,
    quality INTEGER,
    sex INTEGER,
    srate REAL NOT NULL DEFAULT 0
);

create index idx_voice_uid_spk on voice(uid, spk);

PRAGMA journal_mode=WAL;
)";
