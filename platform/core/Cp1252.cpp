#include "platform/core/Cp1252.h"

#include "platform/core/Exception.h"

#include <algorithm>
#include <utility>

namespace {

// The characters of 0x80..0x9F, the range in which Windows-1252 differs from
// Latin-1; 0 marks the five bytes it leaves undefined. Every other byte is
// the Unicode character of the same number.
constexpr char32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

[[noreturn]] void NoForm(const char* to, size_t offset)
{
    throw EConvertError(std::string("Text has a character with no ") + to + " form at byte " + std::to_string(offset));
}

// The Windows-1252 byte of a character, or -1 when it has none.
int ByteOf(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] != 0 && kHigh[i] == c) {
            return 0x80 + i;
        }
    }
    return -1;
}

// Decodes the UTF-8 sequence at pos: the character and its length, or a
// length of 0 when the bytes there are no complete, shortest-form sequence of
// a character (a stray or missing continuation byte, an overlong form, a
// surrogate, a value past U+10FFFF).
std::pair<char32_t, size_t> Decode(std::string_view in, size_t pos)
{
    const auto lead = static_cast<unsigned char>(in[pos]);
    size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        return {lead, 1};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        least = 0x10000;
    } else {
        return {0, 0};
    }
    if (pos + length > in.size()) {
        return {0, 0};
    }
    for (size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(in[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return {0, 0};
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return {0, 0};
    }
    return {c, length};
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

namespace Cp1252 {

// Both conversions are done by table rather than through iconv: a text of a
// data packet is converted on every load, and opening an iconv descriptor
// per text cost more than the rest of the load. Nothing is transliterated:
// the first character without a form on the other side is refused, naming
// its byte offset.
std::string FromUtf8(std::string_view utf8)
{
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    // Every character takes at least as many bytes in UTF-8 as here.
    std::string out(utf8.size(), '\0');
    char* dst = out.data();
    size_t pos = 0;
    while (pos < utf8.size()) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            *dst++ = utf8[pos++];
            continue;
        }
        const auto [c, length] = Decode(utf8, pos);
        if (length != 0 && c >= 0xE0000 && c <= 0xE007F) {
            // The Unicode tag characters are left out, as glibc's iconv, which
            // did this conversion before, leaves them out.
            pos += length;
            continue;
        }
        const int b = length == 0 ? -1 : ByteOf(c);
        if (b < 0) {
            NoForm("WINDOWS-1252", pos);
        }
        *dst++ = static_cast<char>(b);
        pos += length;
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
}

std::string ToUtf8(std::string_view cp1252)
{
    if (IsAscii(cp1252)) {
        return std::string(cp1252);
    }
    std::string out;
    out.reserve(cp1252.size() * 2);
    for (size_t i = 0; i < cp1252.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp1252[i]);
        const char32_t c = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b;
        if (c == 0 && b != 0) {
            NoForm("UTF-8", i);
        }
        AppendUtf8(out, c);
    }
    return out;
}

char UpperCase(char c)
{
    auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') {
        return static_cast<char>(u - 32);
    }
    // Latin-1 letters à..þ map to À..Þ, except ÷ (0xF7).
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) {
        return static_cast<char>(u - 32);
    }
    switch (u) {
    case 0x9A: return static_cast<char>(0x8A); // š
    case 0x9C: return static_cast<char>(0x8C); // œ
    case 0x9E: return static_cast<char>(0x8E); // ž
    case 0xFF: return static_cast<char>(0x9F); // ÿ
    default: return c;
    }
}

char LowerCase(char c)
{
    auto u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z') {
        return static_cast<char>(u + 32);
    }
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) {
        return static_cast<char>(u + 32);
    }
    switch (u) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
    }
}

std::string UpperCase(std::string_view s)
{
    std::string r(s);
    for (char& c : r) {
        c = UpperCase(c);
    }
    return r;
}

std::string LowerCase(std::string_view s)
{
    std::string r(s);
    for (char& c : r) {
        c = LowerCase(c);
    }
    return r;
}

std::string FromUtf8Lossy(std::string_view utf8)
{
    try {
        return FromUtf8(utf8);
    } catch (const EConvertError&) {
    }
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        length = std::min(length, utf8.size() - i);
        try {
            out += FromUtf8(utf8.substr(i, length));
        } catch (const EConvertError&) {
            out += '?';
        }
        i += length;
    }
    return out;
}

std::string ToUtf8Lossy(std::string_view cp1252)
{
    try {
        return ToUtf8(cp1252);
    } catch (const EConvertError&) {
    }
    std::string out;
    for (char c : cp1252) {
        try {
            out += ToUtf8(std::string_view(&c, 1));
        } catch (const EConvertError&) {
            out += '?';
        }
    }
    return out;
}

} // namespace Cp1252
