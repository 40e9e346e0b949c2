// One JSON object per line, for the command line's --json output. Text arrives in the ANSI
// code page and leaves as UTF-8.
#pragma once

#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::cli {

class JsonObject {
public:
    explicit JsonObject(TextCodec& codec) : codec_(codec) {}
    JsonObject& Text(std::string_view key, std::string_view ansiText);
    JsonObject& Number(std::string_view key, std::int64_t value);
    JsonObject& Bool(std::string_view key, bool value);
    // The object with its closing brace, without a line break.
    std::string str() const { return body_ + "}"; }

private:
    void Key(std::string_view key);
    TextCodec& codec_;
    std::string body_ = "{";
};

// A JSON string literal of UTF-8 text, quotes included.
std::string JsonString(std::string_view utf8);

}  // namespace tw::cli
