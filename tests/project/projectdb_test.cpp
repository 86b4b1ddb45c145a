#include "project/projectdb.h"
#include "project/spkcolor.h"
#include "tests/project/rawdb.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

ProjectVoice testVoice(const std::string& uid, int spk) {
    ProjectVoice v;
    v.uid = uid;
    v.spk = spk;
    v.name = "Name " + uid;
    v.lang = "en_US";
    v.eng = "English";
    v.native = "English";
    v.quality = 2;
    v.sex = 1;
    return v;
}

ProjectSeg segOf(const std::string& text, int voice = 0) {
    ProjectSeg s;
    s.text = text;
    s.voice_id = voice;
    return s;
}

class ProjectDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("ttsdata").toStdString();
        ASSERT_TRUE(db.open(path)) << db.lastError();
    }

    // Appends segments with the given texts; their ids in order.
    std::vector<int> append(const std::vector<std::string>& texts) {
        std::vector<ProjectSeg> segs;
        for (const auto& t : texts) {
            segs.push_back(segOf(t));
        }
        EXPECT_TRUE(db.insertSegsAfter(0, segs, 0, 0)) << db.lastError();
        std::vector<int> ids;
        for (const auto& s : segs) {
            ids.push_back(s.id);
        }
        return ids;
    }

    std::vector<ProjectSeg> all() {
        std::vector<ProjectSeg> segs;
        EXPECT_TRUE(db.segs([&](const ProjectSeg& s) { segs.push_back(s); })) << db.lastError();
        return segs;
    }

    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (const auto& s : all()) {
            out.push_back(s.text);
        }
        return out;
    }

    int64_t sortOf(int id) {
        return RawDb(path).number("select sort from seg where id=" + std::to_string(id));
    }

    QTemporaryDir dir;
    std::string path;
    ProjectDb db;
};

TEST_F(ProjectDbTest, NewFileGetsTheSchemaInWalMode) {
    RawDb raw(path);
    EXPECT_EQ(raw.text("pragma journal_mode"), "wal");
    EXPECT_EQ(
        raw.column("select name from sqlite_master where type='index' and name like 'idx_%' order by name"),
        (std::vector<std::string>{"idx_seg_sort", "idx_seg_voice", "idx_voice_uid_spk"}));
    EXPECT_EQ(raw.column("select name from pragma_table_info('seg')"),
              (std::vector<std::string>{"id", "sort", "voice_id", "srate", "text", "modified", "converted",
                                        "seconds", "sentences"}));
    EXPECT_EQ(raw.column("select name from pragma_table_info('voice')"),
              (std::vector<std::string>{"id", "uid", "spk", "name", "color", "lang", "eng", "native",
                                        "quality", "sex", "srate"}));
}

TEST_F(ProjectDbTest, ReopeningKeepsTheContent) {
    append({"one", "two"});
    ProjectDb again;
    ASSERT_TRUE(again.open(path)) << again.lastError();
    std::vector<std::string> seen;
    ASSERT_TRUE(again.segs([&](const ProjectSeg& s) { seen.push_back(s.text); }));
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two"}));
}

TEST_F(ProjectDbTest, ANewSegmentReadsItsNullColumnsAsZero) {
    const int id = append({"hello"})[0];
    const auto segs = all();
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].id, id);
    EXPECT_GT(segs[0].modified, 0);
    EXPECT_EQ(segs[0].converted, 0);
    EXPECT_EQ(segs[0].seconds, 0.0);
    EXPECT_EQ(segs[0].sentences, 0);
    EXPECT_EQ(RawDb(path).text("select typeof(seconds) from seg"), "null");
}

TEST_F(ProjectDbTest, SegmentsAreOrderedBySortThenId) {
    const auto ids = append({"a", "b", "c"});
    RawDb(path).exec("update seg set sort=1");
    const auto segs = all();
    ASSERT_EQ(segs.size(), 3u);
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(segs[i].id, ids[i]);
    }
}

TEST_F(ProjectDbTest, InsertingInTheMiddleShiftsLaterSorts) {
    const auto ids = append({"1", "2", "3", "4", "5"});
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(sortOf(ids[i]), int64_t(i) + 1);
    }
    std::vector<ProjectSeg> more = {segOf("3a"), segOf("3b")};
    ASSERT_TRUE(db.insertSegsAfter(ids[2], more, 0, 0)) << db.lastError();
    EXPECT_EQ(sortOf(more[0].id), 4);
    EXPECT_EQ(sortOf(more[1].id), 5);
    EXPECT_EQ(sortOf(ids[3]), 6);
    EXPECT_EQ(sortOf(ids[4]), 7);
    EXPECT_EQ(sortOf(ids[1]), 2);
    EXPECT_EQ(texts(), (std::vector<std::string>{"1", "2", "3", "3a", "3b", "4", "5"}));
}

TEST_F(ProjectDbTest, InsertPlacement) {
    struct Case {
        const char* what;
        std::vector<std::string> existing;
        int anchorIndex; // index into existing, or -1 for an unknown anchor id
        int start, count;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"empty table starts at sort 1", {}, -1, 0, 0, {"x", "y", "z"}},
        {"unknown anchor appends", {"a", "b"}, -1, 0, 0, {"a", "b", "x", "y", "z"}},
        {"after the last", {"a", "b"}, 1, 0, 0, {"a", "b", "x", "y", "z"}},
        {"start and count pick a slice", {"a", "b"}, 0, 1, 1, {"a", "y", "b"}},
        {"count beyond the end takes the rest", {"a"}, 0, 1, 10, {"a", "y", "z"}},
        {"start past the end inserts nothing", {"a"}, 0, 3, 0, {"a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RawDb(path).exec("delete from seg");
        const auto ids = c.existing.empty() ? std::vector<int>{} : append(c.existing);
        std::vector<ProjectSeg> segs = {segOf("x"), segOf("y"), segOf("z")};
        const int anchor = c.anchorIndex < 0 ? 987654 : ids[c.anchorIndex];
        ASSERT_TRUE(db.insertSegsAfter(anchor, segs, c.start, c.count)) << db.lastError();
        EXPECT_EQ(texts(), c.expected);
    }
    RawDb(path).exec("delete from seg");
    EXPECT_EQ(sortOf(append({"first"})[0]), 1);
}

TEST_F(ProjectDbTest, UpdateAndSplitKeepsTheFirstLineAndInsertsTheRestAfterIt) {
    const auto ids = append({"before", "edited", "after"});
    ProjectSeg edited = all()[1];
    edited.seconds = 3.5;
    edited.voice_id = 2;
    std::vector<ProjectSeg> out;
    ASSERT_TRUE(db.updateAndSplitSeg(edited, "A\n\n   B   \n", out)) << db.lastError();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].id, ids[1]);
    EXPECT_EQ(out[0].text, "A");
    EXPECT_EQ(out[1].text, "B");
    EXPECT_NE(out[1].id, 0);
    EXPECT_EQ(out[1].voice_id, 2);
    EXPECT_EQ(out[1].seconds, 0.0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"before", "A", "B", "after"}));
    EXPECT_EQ(all()[2].voice_id, 2);
}

TEST_F(ProjectDbTest, UpdateAndSplitCases) {
    struct Case {
        const char* what;
        bool stored; // the edited segment is "mid" (stored) or a new record with id 0
        const char* text;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"only blank lines keep an empty text", true, "\n  \r\n\t\n", {"first", "", "last"}},
        {"CRLF lines are trimmed", true, "one\r\ntwo\r\n", {"first", "one", "two", "last"}},
        {"new record appends every line", false, "p\nq\n", {"first", "mid", "last", "p", "q"}},
        {"new record with blank text appends one empty segment", false, "  ", {"first", "mid", "last", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RawDb(path).exec("delete from seg");
        const auto ids = append({"first", "mid", "last"});
        ProjectSeg edited;
        if (c.stored) {
            edited = all()[1];
        }
        std::vector<ProjectSeg> out;
        ASSERT_TRUE(db.updateAndSplitSeg(edited, c.text, out)) << db.lastError();
        EXPECT_EQ(texts(), c.expected);
        for (const auto& s : out) {
            EXPECT_NE(s.id, 0);
        }
    }
}

TEST(TrimTextTest, TrimsAsciiBlanksAndIdeographicSpaces) {
    struct Case {
        const char* in;
        const char* out;
    };
    const std::vector<Case> cases = {
        {" \t\r\nabc \n", "abc"},
        {"\xE3\x80\x80\xE3\x80\x80text\xE3\x80\x80", "text"},
        {"\xE3\x81\x82\xE3\x81\x84", "\xE3\x81\x82\xE3\x81\x84"}, // hiragana stays intact
        {"\xE3\x80\x80\xE4\xB8\xAD\xE6\x96\x87",
         "\xE4\xB8\xAD\xE6\x96\x87"},       // CJK after an ideographic space
        {"\xE3\x80\x81x", "\xE3\x80\x81x"}, // ideographic comma is not a blank
        {"a b", "a b"},
        {"   ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trim_text(c.in), c.out) << c.in;
    }
}

TEST_F(ProjectDbTest, MergeJoinsWithOneSpaceAndRemovesTheMergedSegment) {
    struct Case {
        const char* kept;
        const char* merged;
        const char* result;
    };
    const std::vector<Case> cases = {
        {"Hello", "world", "Hello world"}, {"Hello", "", "Hello"}, {"", "x ", "x"}};
    for (const auto& c : cases) {
        RawDb(path).exec("delete from seg");
        const auto ids = append({c.kept, c.merged});
        ProjectSeg kept = all()[0];
        std::vector<int> removed;
        ASSERT_TRUE(db.mergeSegs(kept, ids[1], c.merged, [&](int id) { removed.push_back(id); }))
            << db.lastError();
        EXPECT_EQ(kept.text, c.result);
        EXPECT_EQ(removed, std::vector<int>{ids[1]});
        EXPECT_EQ(texts(), std::vector<std::string>{c.result});
    }
}

TEST_F(ProjectDbTest, RemoveRunsTheCallbackAfterDeleting) {
    const auto ids = append({"a", "b"});
    int seenCount = -1;
    ASSERT_TRUE(db.removeSeg(ids[0], [&](int) { seenCount = static_cast<int>(all().size()); }));
    EXPECT_EQ(seenCount, 1); // the callback may use the database: no lock is held
    EXPECT_EQ(texts(), std::vector<std::string>{"b"});
}

TEST_F(ProjectDbTest, UpdateAndConvertedStoreTheirColumns) {
    ProjectSeg seg;
    seg.id = append({"a"})[0];
    seg.text = "changed";
    seg.srate = 1.25f;
    seg.voice_id = 3;
    RawDb(path).exec("update seg set modified=0");
    ASSERT_TRUE(db.updateSeg(seg));
    EXPECT_GT(seg.modified, 0);
    ASSERT_TRUE(db.updateConverted(seg, 2.5, 4));
    EXPECT_EQ(seg.seconds, 2.5);
    EXPECT_EQ(seg.sentences, 4);
    EXPECT_GE(seg.converted, seg.modified);

    const ProjectSeg stored = all()[0];
    EXPECT_EQ(stored.text, "changed");
    EXPECT_EQ(stored.srate, 1.25f);
    EXPECT_EQ(stored.voice_id, 3);
    EXPECT_EQ(stored.modified, seg.modified);
    EXPECT_EQ(stored.converted, seg.converted);
    EXPECT_EQ(stored.seconds, 2.5);
    EXPECT_EQ(stored.sentences, 4);

    ProjectSeg missing;
    missing.id = 4242;
    EXPECT_TRUE(db.updateSeg(missing)); // no row matched is no failure
}

TEST_F(ProjectDbTest, DefaultVoiceRowIsReplacedAndMarksItsSegmentsModified) {
    const auto ids = append({"default", "other"});
    RawDb(path).exec("update seg set modified=0, voice_id=5 where id=" + std::to_string(ids[1]) +
                     "; update seg set modified=0");
    ASSERT_TRUE(db.setDefaultVoice(testVoice("v1", 0), 1.5f, spkcolor(0))) << db.lastError();
    ASSERT_TRUE(db.setDefaultVoice(testVoice("v2", 3), 0.8f, spkcolor(0))) << db.lastError();

    std::vector<ProjectVoice> rows;
    ASSERT_TRUE(db.voices([&](const ProjectVoice& v) { rows.push_back(v); }, -1));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, 0);
    EXPECT_EQ(rows[0].uid, "v2");
    EXPECT_EQ(rows[0].spk, 3);
    EXPECT_EQ(rows[0].name, "Name v2");
    EXPECT_EQ(rows[0].color, "#A22A2B");
    EXPECT_EQ(rows[0].lang, "en_US");
    EXPECT_EQ(rows[0].quality, 2);
    EXPECT_EQ(rows[0].sex, 1);
    EXPECT_FLOAT_EQ(rows[0].srate, 0.8f);

    const auto segs = all();
    EXPECT_GT(segs[0].modified, 0);
    EXPECT_EQ(segs[1].modified, 0);
    EXPECT_EQ(db.lastVoiceId(), 0); // so the next voice takes palette position 1
}

TEST_F(ProjectDbTest, OtherVoicesAreFoundAndListed) {
    ASSERT_TRUE(db.setDefaultVoice(testVoice("v1", 0), 1.0f, spkcolor(0)));
    EXPECT_EQ(db.findVoiceExceptDefault(testVoice("v1", 0)), 0); // the default row does not count
    const int id = db.insertVoice(testVoice("v1", 0), spkcolor(db.lastVoiceId() + 1));
    EXPECT_EQ(id, 1);
    const int id2 = db.insertVoice(testVoice("v9", 2), spkcolor(db.lastVoiceId() + 1));
    EXPECT_EQ(id2, 2);
    EXPECT_EQ(db.findVoiceExceptDefault(testVoice("v1", 0)), 1);
    EXPECT_EQ(db.findVoiceExceptDefault(testVoice("v9", 2)), 2);
    EXPECT_EQ(db.findVoiceExceptDefault(testVoice("v9", 1)), 0);
    EXPECT_EQ(db.lastVoiceId(), 2);

    struct Case {
        int id;
        std::vector<int> ids;
    };
    for (const auto& c : std::vector<Case>{{-1, {0, 1, 2}}, {0, {0}}, {2, {2}}, {7, {}}}) {
        std::vector<ProjectVoice> rows;
        ASSERT_TRUE(db.voices([&](const ProjectVoice& v) { rows.push_back(v); }, c.id));
        std::vector<int> seen;
        for (const auto& v : rows) {
            seen.push_back(v.id);
        }
        EXPECT_EQ(seen, c.ids) << "voices(" << c.id << ")";
    }
    std::vector<ProjectVoice> second;
    db.voices([&](const ProjectVoice& v) { second.push_back(v); }, 2);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].color, spkcolor(2));
    EXPECT_EQ(second[0].srate, 0.0f);
}

TEST(ProjectDbClosedTest, OperationsOnAClosedDatabaseFail) {
    ProjectDb db;
    EXPECT_FALSE(db.isOpen());
    EXPECT_FALSE(db.segs([](const ProjectSeg&) {}));
    ProjectSeg seg;
    EXPECT_FALSE(db.updateSeg(seg));
    EXPECT_EQ(db.lastVoiceId(), -1);
    EXPECT_EQ(db.insertVoice(ProjectVoice(), "#000000"), 0);
    EXPECT_EQ(db.lastError(), "");
}

} // namespace
