#pragma once
// A small writer of JSON text for the tool's --json output. Strings are taken as UTF-8;
// control characters are escaped and every byte that is not part of a valid UTF-8
// sequence is written as the character of the same value (\u00XX), so any message data
// gives valid JSON.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::tool {

class JsonWriter {
  public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The next member's name inside an object.
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(int64_t number);
    JsonWriter& value(int number) { return value(int64_t(number)); }
    JsonWriter& value(bool flag);

    // Shorthands for one member.
    template <typename T>
    JsonWriter& member(std::string_view name, const T& v) {
        return key(name).value(v);
    }
    JsonWriter& member(std::string_view name, const std::vector<std::string>& texts);

    const std::string& text() const { return out_; }

  private:
    void separate();

    std::string out_;
    std::vector<bool> first_;  // per open container: no element written yet
    bool afterKey_ = false;
};

// The text with every byte that is not part of a valid UTF-8 sequence written as the
// character of the same value, as JSON strings write it: for other formats that need UTF-8.
std::string ValidUtf8(std::string_view text);

// The text as a quoted JSON string.
std::string JsonString(std::string_view text);

}  // namespace kz::tool
