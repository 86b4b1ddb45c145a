#include "common/jsonobject.h"

#include <json-c/json.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

JSONObject::JSONObject(json_object* value) : value_(value ? json_object_get(value) : nullptr) {}

JSONObject::JSONObject(const JSONObject& other)
    : value_(other.value_ ? json_object_get(other.value_) : nullptr) {}

JSONObject::JSONObject(JSONObject&& other) noexcept : value_(other.value_) {
    other.value_ = nullptr;
}

JSONObject& JSONObject::operator=(JSONObject other) noexcept {
    std::swap(value_, other.value_);
    return *this;
}

JSONObject::~JSONObject() {
    if (value_) {
        json_object_put(value_);
    }
}

JSONObject JSONObject::adopt(json_object* value) {
    JSONObject o;
    o.value_ = value;
    return o;
}

JSONObject JSONObject::parse(const std::string& text) {
    return adopt(json_tokener_parse(text.c_str()));
}

JSONObject JSONObject::parseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return JSONObject();
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return parse(ss.str());
}

bool JSONObject::isObject() const {
    return value_ && json_object_get_type(value_) == json_type_object;
}

bool JSONObject::isArray() const {
    return value_ && json_object_get_type(value_) == json_type_array;
}

JSONObject JSONObject::get(const char* name) const {
    if (!isObject()) {
        return JSONObject();
    }
    return JSONObject(json_object_object_get(value_, name));
}

JSONObject JSONObject::at(int index) const {
    if (!isArray() || index < 0) {
        return JSONObject();
    }
    return JSONObject(json_object_array_get_idx(value_, static_cast<size_t>(index)));
}

int JSONObject::size() const {
    if (isArray()) {
        return static_cast<int>(json_object_array_length(value_));
    }
    if (isObject()) {
        return json_object_object_length(value_);
    }
    return 0;
}

namespace {

bool parseLeadingInt64(const char* s, long long& out) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s, &end, 10);
    if (end == s || errno == ERANGE) {
        return false;
    }
    out = v;
    return true;
}

} // namespace

int JSONObject::asInt() const {
    if (!value_) {
        return 0;
    }
    switch (json_object_get_type(value_)) {
    case json_type_boolean:
        return json_object_get_boolean(value_) ? 1 : 0;
    case json_type_double:
        return static_cast<int>(json_object_get_double(value_));
    case json_type_int:
        return json_object_get_int(value_);
    case json_type_string: {
        long long v = 0;
        if (!parseLeadingInt64(json_object_get_string(value_), v) || v < INT_MIN || v > INT_MAX) {
            return 0;
        }
        return static_cast<int>(v);
    }
    default:
        return 0;
    }
}

int64_t JSONObject::asInt64() const {
    if (!value_) {
        return 0;
    }
    switch (json_object_get_type(value_)) {
    case json_type_boolean:
        return json_object_get_boolean(value_) ? 1 : 0;
    case json_type_double:
        return static_cast<int64_t>(json_object_get_double(value_));
    case json_type_int:
        return json_object_get_int64(value_);
    case json_type_string: {
        long long v = 0;
        return parseLeadingInt64(json_object_get_string(value_), v) ? v : 0;
    }
    default:
        return 0;
    }
}

double JSONObject::asDouble() const {
    if (!value_) {
        return 0;
    }
    switch (json_object_get_type(value_)) {
    case json_type_boolean:
        return json_object_get_boolean(value_) ? 1.0 : 0.0;
    case json_type_double:
        return json_object_get_double(value_);
    case json_type_int:
        return json_object_get_int(value_);
    case json_type_string: {
        const char* s = json_object_get_string(value_);
        errno = 0;
        char* end = nullptr;
        const double v = std::strtod(s, &end);
        return (end == s || errno == ERANGE) ? 0 : v;
    }
    default:
        return 0;
    }
}

std::string JSONObject::asString() const {
    if (!value_) {
        return std::string();
    }
    char buf[64];
    switch (json_object_get_type(value_)) {
    case json_type_boolean:
        return json_object_get_boolean(value_) ? "true" : "false";
    case json_type_double:
        std::snprintf(buf, sizeof buf, "%f", json_object_get_double(value_));
        return buf;
    case json_type_int:
        std::snprintf(buf, sizeof buf, "%d", json_object_get_int(value_));
        return buf;
    case json_type_string:
        return std::string(json_object_get_string(value_),
                           static_cast<size_t>(json_object_get_string_len(value_)));
    default:
        return std::string();
    }
}

bool JSONObject::asBool() const {
    if (!value_) {
        return false;
    }
    switch (json_object_get_type(value_)) {
    case json_type_boolean:
        return json_object_get_boolean(value_);
    case json_type_double:
        return json_object_get_double(value_) != 0;
    case json_type_int:
        return json_object_get_int64(value_) != 0;
    case json_type_string: {
        std::string s = json_object_get_string(value_);
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return s != "false" && s != "0";
    }
    default:
        return false;
    }
}

std::map<std::string, JSONObject> JSONObject::asMap() const {
    std::map<std::string, JSONObject> out;
    if (!isObject()) {
        return out;
    }
    json_object_object_foreach(value_, key, val) {
        out.emplace(key, JSONObject(val));
    }
    return out;
}

namespace jsonbuild {

void add(json_object* target, const char* name, json_object* value) {
    if (!target || json_object_get_type(target) != json_type_object) {
        if (value) {
            json_object_put(value);
        }
        return;
    }
    json_object_object_add(target, name, value);
}

void addString(json_object* target, const char* name, const std::string& value) {
    add(target, name, json_object_new_string_len(value.data(), static_cast<int>(value.size())));
}

void addInt(json_object* target, const char* name, int value) {
    add(target, name, json_object_new_int(value));
}

void addInt64(json_object* target, const char* name, int64_t value) {
    add(target, name, json_object_new_int64(value));
}

void addDouble(json_object* target, const char* name, double value) {
    add(target, name, json_object_new_double(value));
}

std::string toString(json_object* value) {
    const char* s = json_object_to_json_string(value);
    return s ? s : std::string();
}

} // namespace jsonbuild
