#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>
#include <iconv.h>

TEST(Cp1252, RoundTripsPortugueseText)
{
    const std::string utf8 = "Serviço por Cliente: não há ação à época — “€”";
    std::string ansi = Cp1252::FromUtf8(utf8);
    EXPECT_EQ(ansi.size(), 46u);                          // one byte per character
    EXPECT_EQ(static_cast<unsigned char>(ansi[5]), 0xE7); // ç
    EXPECT_EQ(Cp1252::ToUtf8(ansi), utf8);
}

TEST(Cp1252, EuroAndQuotesUseTheWindowsRange)
{
    std::string ansi = Cp1252::FromUtf8("€“”");
    ASSERT_EQ(ansi.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0x80);
    EXPECT_EQ(static_cast<unsigned char>(ansi[1]), 0x93);
    EXPECT_EQ(static_cast<unsigned char>(ansi[2]), 0x94);
}

TEST(Cp1252, RefusesCharactersWithoutAForm)
{
    EXPECT_THROW(Cp1252::FromUtf8("Ωmega"), EConvertError);
    EXPECT_THROW(Cp1252::FromUtf8("日本"), EConvertError);
    EXPECT_THROW(Cp1252::FromUtf8("\xC3"), EConvertError); // truncated UTF-8
}

TEST(Cp1252, RefusesUndefinedBytes)
{
    EXPECT_THROW(Cp1252::ToUtf8(std::string("a\x81")), EConvertError);
}

TEST(Cp1252, CaseMappingCoversAccentedLetters)
{
    EXPECT_EQ(Cp1252::UpperCase(Cp1252::FromUtf8("ação")), Cp1252::FromUtf8("AÇÃO"));
    EXPECT_EQ(Cp1252::LowerCase(Cp1252::FromUtf8("ÉPOCA")), Cp1252::FromUtf8("época"));
    EXPECT_EQ(Cp1252::UpperCase(std::string("x\xF7")), std::string("X\xF7")); // ÷ has no case
}

// The conversions are done by table; glibc's iconv, which did them before, is
// the reference: the same text or the same refusal naming the same byte, for
// every byte, every character and every pair of bytes.
namespace {

std::string ByIconv(iconv_t cd, const std::string& in, const char* to)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        return std::string("Text has a character with no ") + to + " form at byte " +
               std::to_string(in.size() - srcLeft);
    }
    out.resize(out.size() - dstLeft);
    return out;
}

template <class Convert>
std::string ByTable(Convert convert, const std::string& in)
{
    try {
        return convert(in);
    } catch (const EConvertError& e) {
        return e.what();
    }
}

std::string Utf8Of(char32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

} // namespace

TEST(Cp1252, ConvertsAsIconvDoes)
{
    iconv_t toUtf8 = iconv_open("UTF-8", "WINDOWS-1252");
    iconv_t fromUtf8 = iconv_open("WINDOWS-1252", "UTF-8");
    ASSERT_NE(toUtf8, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(fromUtf8, reinterpret_cast<iconv_t>(-1));
    auto to = [](const std::string& s) { return Cp1252::ToUtf8(s); };
    auto from = [](const std::string& s) { return Cp1252::FromUtf8(s); };
    int differences = 0;
    auto same = [&](iconv_t cd, auto convert, const std::string& in, const char* target) {
        if (ByTable(convert, in) != ByIconv(cd, in, target) && ++differences <= 5) {
            ADD_FAILURE() << "differs from iconv for " << ::testing::PrintToString(in);
        }
    };
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string pair{static_cast<char>(a), static_cast<char>(b)};
            same(toUtf8, to, pair, "UTF-8");
            same(fromUtf8, from, pair, "WINDOWS-1252");
        }
    }
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (c < 0xD800 || c > 0xDFFF) {
            same(fromUtf8, from, "a" + Utf8Of(c) + "b", "WINDOWS-1252");
        }
    }
    // Overlong forms, a surrogate, a value past U+10FFFF and cut sequences.
    for (const char* bad : {"\xE0\x80\x80", "\xF0\x80\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82",
                            "\xF0\x9F\x98", "ok\xE2\x82"}) {
        same(fromUtf8, from, bad, "WINDOWS-1252");
    }
    iconv_close(toUtf8);
    iconv_close(fromUtf8);
    EXPECT_EQ(differences, 0);
}
