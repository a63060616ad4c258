// GBK conversion through two lookup tables built once from iconv's CP936 mapping, so the hot
// paths (field stores, comparisons) never call iconv and are safe on any thread.
#include "platform/core/Encoding.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct Tables {
    // GBK double-byte code (lead << 8 | trail) -> BMP code point, 0 where not defined.
    std::unique_ptr<std::array<uint16_t, 65536>> toUnicode{new std::array<uint16_t, 65536>{}};
    // BMP code point -> GBK code: < 0x100 a single byte, otherwise lead << 8 | trail; 0 none.
    std::unique_ptr<std::array<uint16_t, 65536>> toGbk{new std::array<uint16_t, 65536>{}};

    Tables() {
        for (uint32_t c = 0; c < 0x80; ++c) (*toGbk)[c] = static_cast<uint16_t>(c);
        iconv_t cd = iconv_open("UTF-16LE", "CP936");
        if (cd == reinterpret_cast<iconv_t>(-1)) return;  // ASCII only; never expected
        for (uint32_t code = 0x80; code < 0x10000; ++code) {
            const bool single = code < 0x100;
            if (!single && ((code >> 8) < 0x81 || (code >> 8) > 0xFE)) continue;
            if (!single && ((code & 0xFF) < 0x40 || (code & 0xFF) == 0x7F)) continue;
            if (single && code != 0x80) continue;  // 0x80 is the only single byte above ASCII
            char in[2];
            size_t inLeft;
            if (single) {
                in[0] = static_cast<char>(code);
                inLeft = 1;
            } else {
                in[0] = static_cast<char>(code >> 8);
                in[1] = static_cast<char>(code & 0xFF);
                inLeft = 2;
            }
            char out[8];
            char* inPtr = in;
            char* outPtr = out;
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;
            if (sizeof out - outLeft != 2) continue;  // outside the BMP: not representable
            const uint16_t cp = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) |
                                                      static_cast<unsigned char>(out[1]) << 8);
            if (cp == 0) continue;
            if (!single) (*toUnicode)[code] = cp;
            if ((*toGbk)[cp] == 0) (*toGbk)[cp] = static_cast<uint16_t>(code);
        }
        iconv_close(cd);
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// Decodes one UTF-8 character at s[i]; returns its length (at least 1). A malformed or
// overlong sequence gives length 1 and ok = false.
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& cp, bool& ok) {
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    ok = true;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ok = false;
        return 1;
    }
    if (i + len > s.size()) {
        ok = false;
        return 1;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ok = false;
            return 1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ok = false;
        return 1;
    }
    return len;
}

// GBK code of one character: < 0x100 single byte, else two bytes; '?' when none.
uint16_t gbkCode(char32_t cp, bool ok) {
    if (!ok) return '?';
    if (cp < 0x80) return static_cast<uint16_t>(cp);
    if (cp > 0xFFFF) return '?';
    const uint16_t g = (*tables().toGbk)[cp];
    return g ? g : static_cast<uint16_t>('?');
}

std::size_t gbkWidth(uint16_t code) { return code < 0x100 ? 1 : 2; }

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool allAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    if (allAscii(gbk)) return std::string(gbk);
    const auto& toUnicode = *tables().toUnicode;
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 1);
    for (std::size_t i = 0; i < gbk.size();) {
        const unsigned char b = static_cast<unsigned char>(gbk[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
        } else if (b == 0x80) {
            appendUtf8(out, 0x20AC);
            ++i;
        } else if (b == 0xFF || i + 1 >= gbk.size()) {
            appendUtf8(out, kReplacement);
            ++i;
        } else {
            const uint16_t code =
                static_cast<uint16_t>(b << 8 | static_cast<unsigned char>(gbk[i + 1]));
            const char32_t cp = toUnicode[code];
            if (cp != 0) {
                appendUtf8(out, cp);
                i += 2;
            } else {
                // An undefined pair: replace the lead byte only, so an ASCII trail byte
                // (a '|' or '=' say) survives as itself.
                appendUtf8(out, kReplacement);
                ++i;
            }
        }
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    if (allAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        bool ok;
        const std::size_t n = decodeUtf8(utf8, i, cp, ok);
        const uint16_t g = gbkCode(cp, ok);
        if (g < 0x100) {
            out += static_cast<char>(g);
        } else {
            out += static_cast<char>(g >> 8);
            out += static_cast<char>(g & 0xFF);
        }
        i += n;
    }
    return out;
}

std::size_t GbkLength(std::string_view utf8) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++total, ++i;
            continue;
        }
        char32_t cp;
        bool ok;
        const std::size_t n = decodeUtf8(utf8, i, cp, ok);
        total += gbkWidth(gbkCode(cp, ok));
        i += n;
    }
    return total;
}

std::size_t CutToGbkBudget(std::string_view utf8, std::size_t budget) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            if (used + 1 > budget) break;
            ++used, ++i;
            continue;
        }
        char32_t cp;
        bool ok;
        const std::size_t n = decodeUtf8(utf8, i, cp, ok);
        const std::size_t w = gbkWidth(gbkCode(cp, ok));
        if (used + w > budget) break;
        used += w;
        i += n;
    }
    return i;
}

std::string ToGbkRepertoire(std::string_view utf8) {
    if (allAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        bool ok;
        const std::size_t n = decodeUtf8(utf8, i, cp, ok);
        if (gbkCode(cp, ok) == '?' && !(ok && cp == '?'))
            out += '?';
        else
            out.append(utf8.substr(i, n));
        i += n;
    }
    return out;
}

int CompareGbkOrder(std::string_view a, std::string_view b) {
    auto continuation = [](std::string_view s, std::size_t i) {
        return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
    };
    std::size_t i = 0;
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    while (i < common && a[i] == b[i]) ++i;
    if (i == common) {
        if (a.size() == b.size()) return 0;
        // A shorter text is a prefix in GBK too, unless the longer one goes on with a
        // continuation byte that changes how the shared tail decodes.
        if (!continuation(a, i) && !continuation(b, i)) return a.size() < b.size() ? -1 : 1;
    } else {
        const unsigned char ca = static_cast<unsigned char>(a[i]);
        const unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca < 0x80 && cb < 0x80) return ca < cb ? -1 : 1;
    }
    // Every byte that is not a continuation byte starts a character whatever came before
    // it, so both decoders are in step from the last such byte of the common prefix.
    if (continuation(a, i) || continuation(b, i) || i == common) {
        while (i > 0) {
            --i;
            if (!continuation(a, i)) break;
        }
    }
    std::size_t ia = i, ib = i;
    while (ia < a.size() && ib < b.size()) {
        char32_t pa, pb;
        bool oka, okb;
        const std::size_t na = decodeUtf8(a, ia, pa, oka);
        const std::size_t nb = decodeUtf8(b, ib, pb, okb);
        const uint16_t ga = gbkCode(pa, oka), gb = gbkCode(pb, okb);
        if (ga != gb) {
            // Compare the byte sequences: the first bytes decide unless they are equal.
            const unsigned first_a = ga < 0x100 ? ga : ga >> 8;
            const unsigned first_b = gb < 0x100 ? gb : gb >> 8;
            if (first_a != first_b) return first_a < first_b ? -1 : 1;
            // Same first byte: both double-byte (single bytes would be equal codes).
            return (ga & 0xFF) < (gb & 0xFF) ? -1 : 1;
        }
        ia += na;
        ib += nb;
    }
    const bool endA = ia >= a.size(), endB = ib >= b.size();
    if (endA && endB) return 0;
    return endA ? -1 : 1;
}

char AsciiToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char AsciiToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool AsciiIsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
    return true;
}

}  // namespace platform
