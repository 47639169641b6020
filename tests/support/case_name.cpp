#include "case_name.h"

namespace testing_support {

std::string caseName(std::string_view text)
{
    if (text.empty())
        return "empty";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    bool wordStart = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ' && !name.empty()) {
            wordStart = true;
            continue;
        }
        if (wordStart && byte >= 'a' && byte <= 'z') {
            name += static_cast<char>(byte - ('a' - 'A'));
            wordStart = false;
            continue;
        }
        wordStart = false;
        const bool plain = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')
            || byte == '_';
        if (plain) {
            name += c;
        } else {
            name += '_';
            name += kHex[byte >> 4];
            name += kHex[byte & 0xF];
        }
    }
    return name;
}

} // namespace testing_support
