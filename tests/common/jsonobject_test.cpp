#include "common/jsonobject.h"

#include <json-c/json.h>

#include <gtest/gtest.h>

#include <climits>

namespace {

// One JSON document holding a member of every type the conversions care about.
JSONObject fixture() {
    return JSONObject::parse(R"({"int": 7, "neg": -12, "dbl": 3.9, "half": 2.5, "t": true, "f": false,
        "s42": "42", "s42x": " 42abc", "letters": "abc", "sneg": "-5", "sdbl": "2.75e1", "huge": "99999999999",
        "big": 5000000000, "sfalse": "FaLsE", "s0": "0", "sempty": "", "syes": "yes", "nul": null,
        "obj": {"a": 1, "b": 2}, "arr": [10, 20, 30]})");
}

} // namespace

struct ConversionCase {
    const char* member;
    int asInt;
    int64_t asInt64;
    double asDouble;
    const char* asString;
    bool asBool;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
    *os << c.member;
}

class JSONObjectConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(JSONObjectConversionTest, NeverFailsAndFollowsTheTable) {
    const ConversionCase& c = GetParam();
    const JSONObject v = fixture().get(c.member);
    EXPECT_EQ(v.asInt(), c.asInt);
    EXPECT_EQ(v.asInt64(), c.asInt64);
    EXPECT_DOUBLE_EQ(v.asDouble(), c.asDouble);
    EXPECT_EQ(v.asString(), c.asString);
    EXPECT_EQ(v.asBool(), c.asBool);
}

INSTANTIATE_TEST_SUITE_P(
    Members, JSONObjectConversionTest,
    testing::Values(
        // member,   asInt,     asInt64,         asDouble,     asString,           asBool
        ConversionCase{"missing", 0, 0, 0, "", false}, ConversionCase{"int", 7, 7, 7, "7", true},
        ConversionCase{"neg", -12, -12, -12, "-12", true}, ConversionCase{"dbl", 3, 3, 3.9, "3.900000", true},
        ConversionCase{"half", 2, 2, 2.5, "2.500000", true}, ConversionCase{"t", 1, 1, 1, "true", true},
        ConversionCase{"f", 0, 0, 0, "false", false}, ConversionCase{"s42", 42, 42, 42, "42", true},
        ConversionCase{"s42x", 42, 42, 42, " 42abc", true}, ConversionCase{"letters", 0, 0, 0, "abc", true},
        ConversionCase{"sneg", -5, -5, -5, "-5", true}, ConversionCase{"sdbl", 2, 2, 27.5, "2.75e1", true},
        // Does not fit 32 bits: 0 for asInt, the value for asInt64.
        ConversionCase{"huge", 0, 99999999999LL, 99999999999.0, "99999999999", true},
        // json-c clamps a large integer to 32 bits for the int reads, and asDouble widens that.
        ConversionCase{"big", INT_MAX, 5000000000LL, INT_MAX, "2147483647", true},
        ConversionCase{"sfalse", 0, 0, 0, "FaLsE", false}, ConversionCase{"s0", 0, 0, 0, "0", false},
        ConversionCase{"sempty", 0, 0, 0, "", true}, ConversionCase{"syes", 0, 0, 0, "yes", true},
        ConversionCase{"nul", 0, 0, 0, "", false}, ConversionCase{"obj", 0, 0, 0, "", false},
        ConversionCase{"arr", 0, 0, 0, "", false}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return std::string(info.param.member); });

TEST(JSONObjectTest, AccessOnTheWrongTypeIsAbsent) {
    const JSONObject doc = fixture();
    EXPECT_TRUE(doc.get("arr").get("x").isNull());
    EXPECT_TRUE(doc.get("s42").get("x").isNull());
    EXPECT_TRUE(doc.get("obj").at(0).isNull());
    EXPECT_TRUE(doc.get("arr").at(3).isNull());
    EXPECT_TRUE(doc.get("arr").at(-1).isNull());
    EXPECT_EQ(doc.get("arr").at(1).asInt(), 20);
    EXPECT_EQ(doc.get("obj").get("b").asInt(), 2);
}

TEST(JSONObjectTest, SizeCountsMembersAndElementsOnly) {
    const JSONObject doc = fixture();
    EXPECT_EQ(doc.get("obj").size(), 2);
    EXPECT_EQ(doc.get("arr").size(), 3);
    EXPECT_EQ(doc.get("int").size(), 0);
    EXPECT_EQ(doc.get("missing").size(), 0);
}

TEST(JSONObjectTest, AsMapListsObjectMembersOnly) {
    const JSONObject doc = fixture();
    const auto map = doc.get("obj").asMap();
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("a").asInt(), 1);
    EXPECT_TRUE(doc.get("arr").asMap().empty());
    EXPECT_TRUE(doc.get("nul").asMap().empty());
}

TEST(JSONObjectTest, HandlesKeepTheValueAliveOnTheirOwn) {
    JSONObject member;
    {
        const JSONObject doc = JSONObject::parse(R"({"name": "kept"})");
        member = doc.get("name");
    }
    const JSONObject copy = member;
    EXPECT_EQ(copy.asString(), "kept");
    EXPECT_EQ(member.asString(), "kept");
}

TEST(JSONObjectTest, InvalidTextParsesToAbsent) {
    EXPECT_TRUE(JSONObject::parse("{not json").isNull());
    EXPECT_TRUE(JSONObject::parseFile("/nonexistent/file.json").isNull());
}

TEST(JSONObjectTest, WriterKeepsInsertionOrderAndReplacesInPlace) {
    json_object* obj = json_object_new_object();
    jsonbuild::addString(obj, "name", "A \"q\"");
    jsonbuild::addInt(obj, "n", 1);
    jsonbuild::add(obj, "on", json_object_new_boolean(true));
    jsonbuild::addInt64(obj, "n", 5000000000LL);
    jsonbuild::add(obj, "none", nullptr);
    EXPECT_EQ(jsonbuild::toString(obj),
              R"({ "name": "A \"q\"", "n": 5000000000, "on": true, "none": null })");
    json_object_put(obj);

    json_object* arr = json_object_new_array();
    jsonbuild::addInt(arr, "ignored", 1); // members are only added to objects
    EXPECT_EQ(jsonbuild::toString(arr), "[ ]");
    json_object_put(arr);
}
