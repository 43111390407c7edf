#pragma once
// Conversion between the run-time text (single-byte Windows-1252) and UTF-8,
// done only at the edges: resource files, the GUI, databases, script output.
#include <string>
#include <string_view>

namespace Cp1252 {

// Throws EConvertError naming the first character that has no Windows-1252 form.
std::string FromUtf8(std::string_view utf8);
// As FromUtf8, converting in utf8's own bytes where it can.
std::string TakeFromUtf8(std::string&& utf8);

// Throws EConvertError for the five byte values that Windows-1252 leaves undefined.
std::string ToUtf8(std::string_view cp1252);

// The same conversions for messages and logs, which must not fail: what has
// no form on the other side becomes '?'.
std::string FromUtf8Lossy(std::string_view utf8);
std::string ToUtf8Lossy(std::string_view cp1252);

// Upper and lower case of one Windows-1252 character (accented letters included).
char UpperCase(char c);
char LowerCase(char c);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

} // namespace Cp1252
