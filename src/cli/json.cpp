#include "cli/json.h"

#include "platform/codepage.h"

#include <cstdio>

namespace tw::cli {

std::string JsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void JsonObject::Key(std::string_view key)
{
    if (body_.size() > 1)
        body_ += ",";
    body_ += JsonString(key);
    body_ += ":";
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view ansiText)
{
    Key(key);
    body_ += JsonString(Utf16ToUtf8(codec_.AnsiToUtf16(ansiText)));
    return *this;
}

JsonObject& JsonObject::Number(std::string_view key, std::int64_t value)
{
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value)
{
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

}  // namespace tw::cli
