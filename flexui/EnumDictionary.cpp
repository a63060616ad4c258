// Enumeration dictionary fields, counted and found as the enumerated controls read them.
#include "flexui/EnumDictionary.h"

#include "platform/core/Encoding.h"
#include "record/StringHelpers.h"

std::string EnumDictField(std::string_view dictionary, int entry, int part, std::size_t limit) {
    std::string field = pavlet::GetSubSubString(dictionary, '|', entry, ',', part);
    if (field.size() > limit) field.resize(platform::CutToGbkBudget(field, limit));
    return field;
}

int EnumDictCount(std::string_view dictionary) {
    int count = 0;
    while (!EnumDictField(dictionary, count, 0, kEnumFieldShort).empty()) ++count;
    return count;
}

int EnumDictFind(std::string_view dictionary, std::string_view value) {
    if (value.empty()) return -1;
    return pavlet::FindSubSubString(dictionary, '|', ',', 0, value);
}

std::string EnumCharText(char32_t ch) {
    std::string text;
    if (ch < 0x80) {
        text += static_cast<char>(ch);
    } else if (ch < 0x800) {
        text += static_cast<char>(0xC0 | (ch >> 6));
        text += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        text += static_cast<char>(0xE0 | (ch >> 12));
        text += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x110000) {
        text += static_cast<char>(0xF0 | (ch >> 18));
        text += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (ch & 0x3F));
    }
    return text;
}

char32_t EnumUnshiftedChar(char32_t ch) {
    if (ch >= 'A' && ch <= 'Z') return ch - 'A' + 'a';
    static constexpr char kShifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    static constexpr char kPlain[] = "1234567890-=[]\\;',./`";
    for (size_t i = 0; kShifted[i]; ++i)
        if (ch == static_cast<char32_t>(kShifted[i])) return static_cast<char32_t>(kPlain[i]);
    return ch;
}
