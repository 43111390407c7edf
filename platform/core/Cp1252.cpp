#include "platform/core/Cp1252.h"

#include "platform/core/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace {

// An iconv descriptor for one direction, opened once per thread: opening one
// for every text cost more than converting it, and a packet of many rows
// converts every text of every row.
class Converter {
public:
    Converter(const char* from, const char* to) : to_(to), cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw EConvertError(std::string("No conversion from ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // iconv reports an input that has no form in the target charset as
    // EILSEQ; nothing is ever transliterated or dropped.
    std::string Convert(std::string_view in)
    {
        // A conversion that failed halfway leaves the descriptor's state; it
        // starts every text afresh.
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 4, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        while (srcLeft > 0) {
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            if (r == static_cast<size_t>(-1)) {
                size_t offset = in.size() - srcLeft;
                if (errno == E2BIG) {
                    size_t used = out.size() - dstLeft;
                    out.resize(out.size() * 2);
                    dst = out.data() + used;
                    dstLeft = out.size() - used;
                    continue;
                }
                throw EConvertError(std::string("Text has a character with no ") + to_ + " form at byte " +
                                    std::to_string(offset));
            }
        }
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    const char* to_;
    iconv_t cd_;
};

// The length of the text's leading run of ASCII bytes, which are the same
// in UTF-8 and Windows-1252; read eight bytes at a time, since most texts
// are ASCII from end to end.
size_t AsciiPrefix(std::string_view text)
{
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            break;
        }
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    return i;
}

// The code point of a two-byte UTF-8 sequence.
unsigned TwoByteCodePoint(unsigned char lead, unsigned char next)
{
    return ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
}

// Windows-1252 holds Latin-1's letters at their code points (0xA0 to 0xFF):
// texts made of ASCII and those, most Portuguese text, convert byte by byte.
// Anything else (the Windows range 0x80 to 0x9F, other characters, broken
// UTF-8) is left to iconv.
//
// Converts the text in place from index `from` on (the bytes before are ASCII)
// while it holds only ASCII and Latin-1 letters, which take two bytes in
// UTF-8 and one here. Returns how far it got: the text's size when all of it
// converted; otherwise the text's first out bytes are converted and the
// rest, from the byte it returns, is as it came.
size_t Latin1InPlace(std::string& text, size_t from, size_t& out)
{
    out = from;
    size_t i = from;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            text[out++] = static_cast<char>(b);
            ++i;
            continue;
        }
        if ((b != 0xC2 && b != 0xC3) || i + 1 >= text.size()) {
            return i;
        }
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if ((next & 0xC0) != 0x80 || TwoByteCodePoint(b, next) < 0xA0) {
            return i;
        }
        text[out++] = static_cast<char>(TwoByteCodePoint(b, next));
        i += 2;
    }
    return i;
}

bool Latin1ToUtf8(std::string_view in, std::string& out)
{
    const size_t ascii = AsciiPrefix(in);
    if (ascii == in.size()) {
        out.assign(in);
        return true;
    }
    out.clear();
    out.reserve(in.size() + in.size() / 4);
    out.append(in.substr(0, ascii));
    for (char c : in.substr(ascii)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else if (b >= 0xA0) {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

namespace Cp1252 {

std::string FromUtf8(std::string_view utf8)
{
    return TakeFromUtf8(std::string(utf8));
}

std::string TakeFromUtf8(std::string&& utf8)
{
    const size_t ascii = AsciiPrefix(utf8);
    if (ascii == utf8.size()) {
        return std::move(utf8);
    }
    size_t out = 0;
    const size_t stopped = Latin1InPlace(utf8, ascii, out);
    if (stopped == utf8.size()) {
        utf8.resize(out);
        return std::move(utf8);
    }
    // Something beyond Latin-1: the converted part goes back to the UTF-8 it
    // was (one form per letter), and the whole text goes to iconv.
    std::string original;
    Latin1ToUtf8(std::string_view(utf8).substr(0, out), original);
    original.append(utf8, stopped);
    thread_local Converter converter("UTF-8", "WINDOWS-1252");
    return converter.Convert(original);
}

std::string ToUtf8(std::string_view cp1252)
{
    if (std::string out; Latin1ToUtf8(cp1252, out)) {
        return out;
    }
    thread_local Converter converter("WINDOWS-1252", "UTF-8");
    return converter.Convert(cp1252);
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
