#include "project/sqlite3cursor.h"
#include "project/sqlite3db.h"
#include "project/sqlite3row.h"
#include "project/sqlite3sql.h"
#include "project/sqlite3variant.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// An in-memory database with one table of every column type.
class Sqlite3LayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db.connection), SQLITE_OK);
        ASSERT_EQ(db.exec("create table t (id integer primary key, n integer, r real, s text, b blob, "
                          "Mixed text); insert into t (id) values (1);",
                          nullptr),
                  0);
    }

    int64_t count(const char* sql) {
        Sqlite3Cursor cursor;
        EXPECT_TRUE(db.query(sql, cursor));
        EXPECT_TRUE(cursor.next());
        return cursor.getInt64("c");
    }

    Sqlite3DB db;
};

TEST_F(Sqlite3LayerTest, ExecReportsTheMessageOfAFailedScript) {
    std::string error;
    EXPECT_NE(db.exec("select 1; no such statement", &error), 0);
    EXPECT_NE(error.find("syntax error"), std::string::npos) << error;
    EXPECT_NE(db.exec("select * from missing", nullptr), 0); // a null error pointer is allowed
}

TEST_F(Sqlite3LayerTest, ExecuteIsOnlyForStatementsWithoutRows) {
    Sqlite3Sql select("select id from t");
    EXPECT_FALSE(db.execute(&select));
    Sqlite3Sql noMatch("update t set n=? where id=?");
    noMatch.addIntParam(1);
    noMatch.addIntParam(999);
    EXPECT_TRUE(db.execute(&noMatch));
    Sqlite3Sql broken("update nowhere set n=1");
    EXPECT_FALSE(db.execute(&broken));
}

TEST_F(Sqlite3LayerTest, ABindFailureStepsNothing) {
    Sqlite3Sql insert("insert into t (n) values (?)");
    insert.addIntParam(5);
    insert.addIntParam(6); // no placeholder for this one
    EXPECT_FALSE(db.execute(&insert));
    EXPECT_EQ(count("select count(*) as c from t"), 1);

    Sqlite3Sql query("select * from t where id=?");
    query.addIntParam(1);
    query.addIntParam(2);
    Sqlite3Cursor cursor;
    EXPECT_FALSE(cursor.init(db.connection, &query));
    EXPECT_FALSE(cursor.next());
}

TEST_F(Sqlite3LayerTest, NullAndUnknownColumnsReadAsZero) {
    Sqlite3Cursor cursor;
    ASSERT_TRUE(db.query("select * from t", cursor));
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.row(), 0);
    EXPECT_EQ(cursor.getInt("n"), 0);
    EXPECT_EQ(cursor.getInt64("n"), 0);
    EXPECT_EQ(cursor.getDouble("r"), 0.0);
    EXPECT_EQ(cursor.getText("s"), "");
    EXPECT_EQ(cursor.getText(3), "");
    EXPECT_EQ(cursor.getInt("nosuchcolumn"), 0);
    EXPECT_EQ(cursor.getText("nosuchcolumn"), "");
    EXPECT_EQ(cursor.getText(99), "");
    EXPECT_FALSE(cursor.next());
    EXPECT_FALSE(cursor.failed());
}

TEST_F(Sqlite3LayerTest, ColumnNamesAreLookedUpInLowerCase) {
    ASSERT_EQ(db.exec("update t set n=7, s='x', Mixed='m'", nullptr), 0);
    Sqlite3Cursor cursor;
    ASSERT_TRUE(db.query("select * from t", cursor));
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.getInt("N"), 7);
    EXPECT_EQ(cursor.getText("S"), "x");
    // Stored names keep SQLite's spelling, so a mixed-case column cannot be found.
    EXPECT_EQ(cursor.colIdByName("Mixed"), -1);
}

TEST_F(Sqlite3LayerTest, ParametersRoundTrip) {
    Sqlite3Sql insert("insert into t (id, n, r, s, b) values (?, ?, ?, ?, ?)");
    insert.addIntParam(2);
    insert.addInt64Param(int64_t(1) << 40);
    insert.addDoubleParam(0.25);
    insert.addTextParam(std::string("ab\0cd", 5));
    insert.addBlobParam("x\0y", 3);
    ASSERT_TRUE(db.execute(&insert));

    Sqlite3Cursor cursor;
    ASSERT_TRUE(db.query("select n, r, s, length(s) as sl, length(b) as bl from t where id=2", cursor));
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.getInt64("n"), int64_t(1) << 40);
    EXPECT_EQ(cursor.getDouble("r"), 0.25);
    EXPECT_EQ(cursor.getText("s"), "ab"); // text ends at its first NUL
    EXPECT_EQ(cursor.getInt("sl"), 2);
    EXPECT_EQ(cursor.getInt("bl"), 3); // a blob keeps every byte
}

TEST_F(Sqlite3LayerTest, InsertSqlOrdersColumnsByNameAndBindsByKind) {
    Sqlite3Row row;
    row["voice_id"] = Sqlite3Variant::fromInt(0);
    row["text"] = Sqlite3Variant::fromText("hello");
    row["sort"] = Sqlite3Variant::fromInt(3);
    row["srate"] = Sqlite3Variant::fromDouble(1.5);
    row["modified"] = Sqlite3Variant::fromInt64(1700000000);
    Sqlite3Sql sql;
    row.insertSql(sql, "seg", {}, "INSERT INTO");
    EXPECT_EQ(sql.text, "INSERT INTO [seg]([modified],[sort],[srate],[text],[voice_id]) VALUES(?,?,?,?,?)");
    EXPECT_EQ(sql.params.size(), 5u);

    Sqlite3Row typed;
    typed["ID"] = Sqlite3Variant::fromInt(3);
    typed["n"] = Sqlite3Variant();
    typed["r"] = Sqlite3Variant::fromDouble(2.5);
    typed["b"] = Sqlite3Variant::fromBlob(std::string("\0\1", 2));
    typed["s"] = Sqlite3Variant::fromText("t");
    typed["Mixed"] = Sqlite3Variant::fromText("skipped");
    Sqlite3Sql insert;
    typed.insertSql(insert, "t", {"MIXED"}, "insert into");
    // Ordered by the names as given ("ID" before "b"), written in lower case.
    EXPECT_EQ(insert.text, "insert into [t]([id],[b],[n],[r],[s]) VALUES(?,?,?,?,?)");
    ASSERT_TRUE(db.execute(&insert));
    Sqlite3Cursor cursor;
    ASSERT_TRUE(db.query("select typeof(n) as tn, typeof(r) as tr, typeof(b) as tb, typeof(s) as ts, "
                         "typeof(Mixed) as tm from t where id=3",
                         cursor));
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.getText("tn"), "null");
    EXPECT_EQ(cursor.getText("tr"), "real");
    EXPECT_EQ(cursor.getText("tb"), "blob");
    EXPECT_EQ(cursor.getText("ts"), "text");
    EXPECT_EQ(cursor.getText("tm"), "null");
}

TEST_F(Sqlite3LayerTest, InsertSqlWithEveryColumnExcludedDoesNotCompile) {
    Sqlite3Row row;
    row["n"] = Sqlite3Variant::fromInt(1);
    Sqlite3Sql sql;
    row.insertSql(sql, "t", {"N"}, "INSERT INTO");
    EXPECT_EQ(sql.text, "INSERT INTO [t]() VALUES()");
    EXPECT_FALSE(db.execute(&sql));
}

TEST(Sqlite3VariantTest, ConversionsFallBackInsteadOfFailing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        Sqlite3Variant value;
        int asInt;     // toInt(-1)
        int64_t asI64; // toInt64(-1)
        double asDbl;  // toDouble(-1)
        const char* asText;
    };
    const std::vector<Case> cases = {
        {"int", Sqlite3Variant::fromInt(-12), -12, -12, -12.0, "-12"},
        {"int64 wider than 32 bits", Sqlite3Variant::fromInt64((int64_t(1) << 32) + 5), 5,
         (int64_t(1) << 32) + 5, 4294967301.0, "4294967301"},
        {"double truncates toward zero", Sqlite3Variant::fromDouble(-2.9), -2, -2, -2.9, "-2.900000"},
        {"double 0.5 has six decimals", Sqlite3Variant::fromDouble(0.5), 0, 0, 0.5, "0.500000"},
        {"double too large for any integer", Sqlite3Variant::fromDouble(1e20), -1, -1, 1e20,
         "100000000000000000000.000000"},
        {"double NaN", Sqlite3Variant::fromDouble(nan), -1, -1, std::nan(""), "nan"},
        {"leading number", Sqlite3Variant::fromText("  +42abc"), 42, 42, 42.0, "  +42abc"},
        {"negative text", Sqlite3Variant::fromText("-7.75 m"), -7, -7, -7.75, "-7.75 m"},
        {"no leading number", Sqlite3Variant::fromText("abc1"), -1, -1, -1.0, "abc1"},
        {"number too big for int", Sqlite3Variant::fromText("99999999999"), -1, 99999999999, 99999999999.0,
         "99999999999"},
        {"empty text", Sqlite3Variant::fromText(""), -1, 0, 0.0, ""},
        {"blob parses like text", Sqlite3Variant::fromBlob("12"), 12, 12, 12.0, "12"},
        {"null", Sqlite3Variant(), -1, -1, -1.0, ""},
        {"unknown kind", Sqlite3Variant(9, "1234"), -1, -1, -1.0, ""},
        {"int of the wrong length", Sqlite3Variant(Sqlite3Variant::Int, "12"), -1, -1, -1.0, "0"},
        {"double of the wrong length", Sqlite3Variant(Sqlite3Variant::Double, "1234"), -1, -1, -1.0,
         "0.000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.value.toInt(-1), c.asInt);
        EXPECT_EQ(c.value.toInt64(-1), c.asI64);
        if (std::isnan(c.asDbl)) {
            EXPECT_TRUE(std::isnan(c.value.toDouble(-1)));
        } else {
            EXPECT_DOUBLE_EQ(c.value.toDouble(-1), c.asDbl);
        }
        EXPECT_EQ(c.value.toText(), c.asText);
    }
}

TEST(Sqlite3VariantTest, TextIsKeptUpToItsFirstNul) {
    EXPECT_EQ(Sqlite3Variant::fromText(std::string("ab\0cd", 5)).bytes, "ab");
    EXPECT_EQ(Sqlite3Variant::fromBlob(std::string("ab\0cd", 5)).bytes.size(), 5u);
}

TEST(Sqlite3StringsJoinTest, SeparatorOnlyAfterBuiltText) {
    struct Case {
        std::vector<std::string> items;
        const char* joined;
    };
    const std::vector<Case> cases = {
        {{"a", "b", "c"}, "a,b,c"},
        {{"", "x"}, "x"},
        {{"x", ""}, "x,"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sqlite3helper_strings_join(c.items.begin(), c.items.end(), ","), c.joined);
    }
}

} // namespace
