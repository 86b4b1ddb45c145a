// Files that are not project databases, operations that fail half way, and two threads on one database.
#include "project/projectdb.h"
#include "tests/project/rawdb.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

ProjectSeg segOf(const std::string& text) {
    ProjectSeg s;
    s.text = text;
    return s;
}

class ForeignFileTest : public ::testing::Test {
protected:
    std::string path() const { return dir.filePath("ttsdata").toStdString(); }

    // Opening must fail with a clear message and leave the file byte for byte as it was.
    void expectRefused(const std::string& what) {
        SCOPED_TRACE(what);
        const std::string before = fileBytes(path());
        ProjectDb db;
        EXPECT_FALSE(db.open(path()));
        EXPECT_NE(db.lastError().find("Invalid database. "), std::string::npos) << db.lastError();
        EXPECT_FALSE(db.isOpen());
        EXPECT_FALSE(db.segs([](const ProjectSeg&) {}));
        EXPECT_EQ(fileBytes(path()), before);
    }

    QTemporaryDir dir;
};

TEST_F(ForeignFileTest, TextFilesAreRefused) {
    writeBytes(path(), "just a note\n");
    expectRefused("short text");
    writeBytes(path(), std::string(8192, 'x'));
    expectRefused("long text");
    writeBytes(path(), "");
    expectRefused("empty file");
}

TEST_F(ForeignFileTest, DatabasesOfAnotherSchemaAreRefused) {
    struct Case {
        const char* what;
        const char* script;
    };
    const std::vector<Case> cases = {
        {"other tables",
         "create table notes (id integer primary key, body text); insert into notes values (1, 'x');"},
        {"seg without voice",
         "create table seg (id integer primary key, sort integer, voice_id integer, srate real, "
         "text text, modified integer, converted integer, seconds real, sentences integer);"},
        {"seg missing a column",
         "create table seg (id integer primary key, sort integer, voice_id integer); "
         "create table voice (id integer primary key, uid text, spk integer, name text, "
         "color text, lang text, eng text, native text, quality integer, sex integer, "
         "srate real);"},
    };
    for (const auto& c : cases) {
        QFile::remove(QString::fromStdString(path()));
        ASSERT_TRUE(RawDb::create(path(), c.script)) << c.what;
        expectRefused(c.what);
    }
}

class FailHalfWayTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.filePath("ttsdata").toStdString();
        ASSERT_TRUE(db.open(path)) << db.lastError();
        std::vector<ProjectSeg> segs = {segOf("one"), segOf("two"), segOf("three")};
        ASSERT_TRUE(db.insertSegsAfter(0, segs, 0, 0));
        for (const auto& s : segs) {
            ids.push_back(s.id);
        }
        snapshot = contents();
    }

    // Every column of every row, in id order.
    std::vector<std::string> contents() {
        return RawDb(path).column(
            "select id || '|' || sort || '|' || voice_id || '|' || ifnull(text, '') || '|' || "
            "modified || '|' || converted from seg order by id");
    }

    // A trigger in this test's database copy that aborts any insert or update carrying the text "boom".
    void plantFault(const char* event) {
        ASSERT_EQ(RawDb(path).exec(
                      std::string("create trigger fault before ") + event +
                      " on seg when new.text = 'boom' begin select raise(abort, 'planted fault'); end;"),
                  "");
    }

    QTemporaryDir dir;
    std::string path;
    ProjectDb db;
    std::vector<int> ids;
    std::vector<std::string> snapshot;
};

TEST_F(FailHalfWayTest, SplitThatFailsOnALaterLineChangesNothing) {
    plantFault("insert");
    ProjectSeg edited = segOf("one");
    edited.id = ids[0];
    std::vector<ProjectSeg> out;
    EXPECT_FALSE(db.updateAndSplitSeg(edited, "changed\nfine\nboom\n", out));
    EXPECT_EQ(db.lastError(), "planted fault");
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(contents(), snapshot);
}

TEST_F(FailHalfWayTest, InsertAfterThatFailsLeavesSortsUnshifted) {
    plantFault("insert");
    std::vector<ProjectSeg> segs = {segOf("fine"), segOf("boom")};
    EXPECT_FALSE(db.insertSegsAfter(ids[0], segs, 0, 0));
    EXPECT_EQ(contents(), snapshot);
    EXPECT_EQ(segs[0].id, 0); // the records do not claim rows that were rolled back
    EXPECT_EQ(segs[0].modified, 0);
}

TEST_F(FailHalfWayTest, MergeThatFailsKeepsBothSegments) {
    plantFault("update");
    ProjectSeg kept = segOf("boom");
    kept.id = ids[0];
    bool called = false;
    EXPECT_FALSE(db.mergeSegs(kept, ids[1], "", [&](int) { called = true; }));
    EXPECT_FALSE(called); // the merged segment's audio must stay with its row
    EXPECT_EQ(kept.text, "boom");
    EXPECT_EQ(contents(), snapshot);
}

TEST_F(FailHalfWayTest, DefaultVoiceIsNotReplacedWhenItsSegmentsCannotBeMarked) {
    ProjectVoice first;
    first.uid = "first";
    ASSERT_TRUE(db.setDefaultVoice(first, 1.0f, "#A22A2B"));
    RawDb(path).exec("create trigger fault before update of modified on seg begin "
                     "select raise(abort, 'planted fault'); end;");
    ProjectVoice second;
    second.uid = "second";
    EXPECT_FALSE(db.setDefaultVoice(second, 2.0f, "#A22A2B"));
    EXPECT_EQ(RawDb(path).text("select uid from voice where id=0"), "first");
}

TEST_F(FailHalfWayTest, ALockedDatabaseReportsTheFailure) {
    RawDb other(path);
    ASSERT_EQ(other.exec("begin immediate"), "");
    ProjectSeg edited = segOf("one");
    edited.id = ids[0];
    std::vector<ProjectSeg> out;
    EXPECT_FALSE(db.updateAndSplitSeg(edited, "x\ny", out));
    EXPECT_EQ(db.lastError(), "database is locked");
    ASSERT_EQ(other.exec("rollback"), "");
    EXPECT_EQ(contents(), snapshot);
}

// Edits on one thread and conversion results and deletions on the other, as the editor does.
TEST(ProjectDbThreadsTest, TwoThreadsLeaveEveryRowIntact) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("ttsdata").toStdString();
    ProjectDb db;
    ASSERT_TRUE(db.open(path));
    const int total = 120;
    std::vector<ProjectSeg> segs;
    for (int i = 0; i < total; ++i) {
        segs.push_back(segOf("s" + std::to_string(i)));
    }
    ASSERT_TRUE(db.insertSegsAfter(0, segs, 0, 0));

    ProjectVoice voice;
    voice.uid = "default";
    std::atomic<int> failures{0};
    std::thread editor([&] {
        for (int i = 1; i < total; i += 2) {
            std::vector<ProjectSeg> out;
            const std::string a = "a" + std::to_string(i);
            const std::string b = "b" + std::to_string(i);
            if (!db.updateAndSplitSeg(segs[i], a + "\n" + b, out) || out.size() != 2 ||
                !db.mergeSegs(out[0], out[1].id, b, nullptr)) {
                ++failures;
            }
        }
    });
    std::thread gui([&] {
        for (int i = 0; i < total; i += 2) {
            ProjectSeg seg = segs[i];
            if (!db.updateConverted(seg, 1.5, 2) || (i % 4 == 0 && !db.removeSeg(seg.id, nullptr))) {
                ++failures;
            }
            if (i % 10 == 0 && !db.setDefaultVoice(voice, 1.0f, "#A22A2B")) {
                ++failures;
            }
        }
    });
    editor.join();
    gui.join();
    EXPECT_EQ(failures.load(), 0) << db.lastError();

    std::vector<ProjectSeg> result;
    ASSERT_TRUE(db.segs([&](const ProjectSeg& s) { result.push_back(s); }));
    std::vector<int> expectedIds;
    for (int i = 0; i < total; ++i) {
        if (i % 4 != 0) {
            expectedIds.push_back(segs[i].id);
        }
    }
    ASSERT_EQ(result.size(), expectedIds.size());
    for (size_t k = 0; k < result.size(); ++k) {
        const ProjectSeg& s = result[k];
        EXPECT_EQ(s.id, expectedIds[k]);
        const int i = std::stoi(s.text.substr(1));
        if (s.text[0] == 'a') {
            EXPECT_EQ(s.text, "a" + std::to_string(i) + " b" + std::to_string(i));
        } else {
            EXPECT_EQ(s.text, "s" + std::to_string(i));
            EXPECT_EQ(s.sentences, 2);
            EXPECT_EQ(s.seconds, 1.5);
        }
    }
    const auto sorts = RawDb(path).column("select sort from seg");
    EXPECT_EQ(std::set<std::string>(sorts.begin(), sorts.end()).size(), sorts.size())
        << "duplicate sort values";
}

} // namespace
