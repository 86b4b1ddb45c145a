#pragma once
// A counted handle over one json-c value whose conversions never fail: a missing member or a value
// of another type gives a defined result.

#include <cstdint>
#include <map>
#include <string>

struct json_object;

class JSONObject {
public:
    JSONObject() = default;
    explicit JSONObject(json_object* value); // takes a new reference
    JSONObject(const JSONObject& other);
    JSONObject(JSONObject&& other) noexcept;
    JSONObject& operator=(JSONObject other) noexcept;
    ~JSONObject();

    // Adopts the reference a parse returned (no extra reference is taken).
    static JSONObject adopt(json_object* value);
    // Parses a whole text; the handle is absent when the text is not JSON.
    static JSONObject parse(const std::string& text);
    // Reads and parses a file; absent when it cannot be read or is not JSON.
    static JSONObject parseFile(const std::string& path);

    json_object* value() const { return value_; }
    bool isNull() const { return value_ == nullptr; }
    bool isObject() const;
    bool isArray() const;

    JSONObject get(const char* name) const;
    JSONObject get(const std::string& name) const { return get(name.c_str()); }
    JSONObject at(int index) const;
    int size() const;

    int asInt() const;
    int64_t asInt64() const;
    double asDouble() const;
    std::string asString() const;
    bool asBool() const;
    std::map<std::string, JSONObject> asMap() const;

private:
    json_object* value_ = nullptr;
};

// Builders that never leave a hole: a value that could not be made is stored as JSON null.
namespace jsonbuild {
void add(json_object* target, const char* name, json_object* value);
void addString(json_object* target, const char* name, const std::string& value);
void addInt(json_object* target, const char* name, int value);
void addInt64(json_object* target, const char* name, int64_t value);
void addDouble(json_object* target, const char* name, double value);
std::string toString(json_object* value); // json-c's default spaced style
} // namespace jsonbuild
