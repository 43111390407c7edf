#include "host/Session.h"

#include "host/ServerAddress.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"
#include "platform/net/TlsContext.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <strings.h>
#include <sys/stat.h>

namespace {

using Values = Session::Values;

// A session file is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxFileSize = 1 << 20;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s, std::size_t& start)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) {
        ++b;
    }
    while (e > b && IsBlank(s[e - 1])) {
        --e;
    }
    start = b;
    return s.substr(b, e - b);
}

bool SameKey(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

int ParseInteger(const std::string& text, int low, int high)
{
    if (text.empty()) {
        throw EConvertError("a number is required");
    }
    std::size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size() || text.size() - i > 9) {
        throw EConvertError("'" + text + "' is not a number from " + std::to_string(low) + " to " +
                            std::to_string(high));
    }
    long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            throw EConvertError("'" + text + "' is not a number from " + std::to_string(low) + " to " +
                                std::to_string(high));
        }
        value = value * 10 + (text[i] - '0');
    }
    if (negative) {
        value = -value;
    }
    if (value < low || value > high) {
        throw EConvertError(std::to_string(value) + " is out of range: the value must be from " + std::to_string(low) +
                            " to " + std::to_string(high));
    }
    return static_cast<int>(value);
}

std::string BranchCode(const std::string& text)
{
    if (text.size() > 4) {
        throw EConvertError("'" + text + "' is too long for a branch code (4 characters at most)");
    }
    return text;
}

std::string Locale(const std::string& text)
{
    if (text.size() > 32) {
        throw EConvertError("'" + text + "' is too long for a language name");
    }
    for (char c : text) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) {
            throw EConvertError("'" + text + "' is not a language name (letters, digits, '_' and '-' only)");
        }
    }
    return text;
}

std::string OperatorName(const std::string& text)
{
    if (text.size() > 64) {
        throw EConvertError("'" + text + "' is too long for an operator name (64 characters at most)");
    }
    for (char c : text) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
                  c == '-' || c == '@';
        if (!ok) {
            throw EConvertError("'" + text + "' is not an operator name (letters, digits, '.', '_', '-' and '@' only)");
        }
    }
    return text;
}

// One key of the [session] section: how a value is checked and stored, and how
// it is written back.
struct KeyInfo {
    const char* name;
    bool required;
    void (*set)(Values& v, const std::string& text);
    std::string (*get)(const Values& v);
};

const std::array<KeyInfo, 13> kKeys{{
    {"FiliProc", true, [](Values& v, const std::string& t) { v.filiProc = BranchCode(t); },
     [](const Values& v) { return v.filiProc; }},
    {"FiliProcFat", true, [](Values& v, const std::string& t) { v.filiProcFat = BranchCode(t); },
     [](const Values& v) { return v.filiProcFat; }},
    {"NomeFiliProcFat", true, [](Values& v, const std::string& t) { v.nomeFiliProcFat = t; },
     [](const Values& v) { return v.nomeFiliProcFat; }},
    {"ModuFili", true,
     [](Values& v, const std::string& t) {
         if (t != "0" && t != "1") {
             throw EConvertError("'" + t + "' is not 0 or 1");
         }
         v.moduFili = t == "1";
     },
     [](const Values& v) { return std::string(v.moduFili ? "1" : "0"); }},
    {"ModuloAtiv", true, [](Values& v, const std::string& t) { v.moduloAtiv = ParseInteger(t, 0, 32767); },
     [](const Values& v) { return std::to_string(v.moduloAtiv); }},
    {"WebURL", true,
     [](Values& v, const std::string& t) {
         ServerAddress::Parse(t, 1);
         v.webURL = t;
     },
     [](const Values& v) { return v.webURL; }},
    {"WebPort", true, [](Values& v, const std::string& t) { v.webPort = ParseInteger(t, 1, 65535); },
     [](const Values& v) { return std::to_string(v.webPort); }},
    {"LocalDatabase", true, [](Values& v, const std::string& t) { v.localDatabase = t; },
     [](const Values& v) { return v.localDatabase; }},
    {"Language", false, [](Values& v, const std::string& t) { v.language = Locale(t); },
     [](const Values& v) { return v.language; }},
    {"Secret", false, [](Values& v, const std::string& t) { v.secret = t; }, [](const Values& v) { return v.secret; }},
    {"Operator", false, [](Values& v, const std::string& t) { v.operatorName = OperatorName(t); },
     [](const Values& v) { return v.operatorName; }},
    {"TlsCaFile", false, [](Values& v, const std::string& t) { v.tlsCaFile = t; },
     [](const Values& v) { return v.tlsCaFile; }},
    {"TlsFingerprint", false,
     [](Values& v, const std::string& t) {
         v.tlsFingerprint = t.empty() ? std::string() : TlsContext::NormalizeFingerprint(t);
     },
     [](const Values& v) { return v.tlsFingerprint; }},
}};

const KeyInfo* FindKey(const std::string& name)
{
    for (const auto& key : kKeys) {
        if (SameKey(name, key.name)) {
            return &key;
        }
    }
    return nullptr;
}

// What reading a session file has gathered up to its current line.
struct ReadState {
    std::string file;
    int lineNo = 0;
    Values values;
    std::vector<std::string> warnings;
    std::array<int, kKeys.size()> seenOn{};
    bool sawSession = false;
    bool inSession = false;
    bool inSection = false;

    [[noreturn]] void Fail(std::size_t column, const std::string& what) const
    {
        throw EResourceError(file, lineNo, static_cast<int>(column) + 1, what);
    }
    void Warn(const std::string& what) { warnings.push_back(file + ":" + std::to_string(lineNo) + ": " + what); }
};

// One line of the file in Windows-1252, without its line end; a control
// character is refused.
std::string DecodeLine(const ReadState& state, std::string raw)
{
    if (!raw.empty() && raw.back() == '\r') {
        raw.pop_back();
    }
    std::string line;
    try {
        line = Cp1252::FromUtf8(raw);
    } catch (const EConvertError& e) {
        state.Fail(0, e.what());
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            state.Fail(i, "control character in the line");
        }
    }
    return line;
}

// A "[name]" line, trimmed, that starts at column start.
void ReadSection(ReadState& state, const std::string& content, std::size_t start)
{
    if (content.back() != ']') {
        state.Fail(start, "section name without its closing ']'");
    }
    std::size_t nameStart = 0;
    std::string section = Trim(content.substr(1, content.size() - 2), nameStart);
    if (section.empty()) {
        state.Fail(start, "empty section name");
    }
    state.inSection = true;
    state.inSession = SameKey(section, "session");
    if (state.inSession) {
        state.sawSession = true;
    } else {
        state.Warn("section [" + section + "] ignored");
    }
}

// A "key = value" line whose text starts at column start.
void ReadKey(ReadState& state, const std::string& line, std::size_t start)
{
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
        state.Fail(start, "expected a section, a comment or 'key = value'");
    }
    std::size_t keyStart = 0;
    std::string keyName = Trim(line.substr(0, eq), keyStart);
    if (keyName.empty()) {
        state.Fail(eq, "a key name is missing before '='");
    }
    if (!state.inSection) {
        state.Fail(keyStart, "key '" + keyName + "' is outside any section");
    }
    if (!state.inSession) {
        return;
    }
    const KeyInfo* key = FindKey(keyName);
    if (key == nullptr) {
        state.Warn("unknown key '" + keyName + "' ignored");
        return;
    }
    auto index = static_cast<std::size_t>(key - kKeys.data());
    if (state.seenOn[index] != 0) {
        state.Fail(keyStart, "key '" + std::string(key->name) + "' is given twice (first on line " +
                                 std::to_string(state.seenOn[index]) + ")");
    }
    state.seenOn[index] = state.lineNo;
    std::size_t valueStart = 0;
    std::string value = Trim(line.substr(eq + 1), valueStart);
    try {
        key->set(state.values, value);
    } catch (const EConvertError& e) {
        state.Fail(eq + 1 + valueStart, "bad value for '" + std::string(key->name) + "': " + e.what());
    }
}

// One line: blank, a comment, a section or a key.
void ReadLine(ReadState& state, const std::string& line)
{
    std::size_t start = 0;
    std::string content = Trim(line, start);
    if (content.empty() || content[0] == ';' || content[0] == '#') {
        return;
    }
    if (content[0] == '[') {
        ReadSection(state, content, start);
    } else {
        ReadKey(state, line, start);
    }
}

// The file as a whole: its [session] section with every required key.
void CheckComplete(const ReadState& state)
{
    if (!state.sawSession) {
        throw EResourceError(state.file, 0, 0, "the file has no [session] section");
    }
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (kKeys[i].required && state.seenOn[i] == 0) {
            throw EResourceError(state.file, 0, 0,
                                 "the required key '" + std::string(kKeys[i].name) + "' is missing from [session]");
        }
    }
}

} // namespace

Session& Session::Current()
{
    static Session session;
    return session;
}

void Session::LoadFromFile(const std::string& path)
{
    const std::string name = Cp1252::FromUtf8Lossy(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EResourceError(name, 0, 0, std::string("the session file cannot be opened: ") + std::strerror(errno));
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileSize) {
            throw EResourceError(name, 0, 0, "the file is too large to be a session file");
        }
    }
    if (in.bad()) {
        throw EResourceError(name, 0, 0, "the session file cannot be read");
    }
    LoadFromText(text, path);
    struct stat st {};
    if (!values_.secret.empty() && stat(path.c_str(), &st) == 0 && (st.st_mode & 044) != 0) {
        warnings_.push_back(name + ": the file holds a Secret and others may read it; make it its owner's only "
                                   "(chmod 600)");
    }
}

void Session::LoadFromText(const std::string& utf8, const std::string& fileName)
{
    ReadState state;
    state.file = Cp1252::FromUtf8Lossy(fileName);
    std::size_t pos = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos <= utf8.size()) {
        std::size_t end = utf8.find('\n', pos);
        if (end == std::string::npos) {
            end = utf8.size();
        }
        ++state.lineNo;
        ReadLine(state, DecodeLine(state, utf8.substr(pos, end - pos)));
        pos = end + 1;
    }
    CheckComplete(state);
    values_ = std::move(state.values);
    warnings_ = std::move(state.warnings);
    fileName_ = fileName;
}

void Session::Set(const std::string& key, const std::string& value)
{
    const KeyInfo* info = FindKey(key);
    if (info == nullptr) {
        throw EInvalidOperation("Unknown session setting '" + key + "'");
    }
    Values values = values_;
    try {
        info->set(values, value);
    } catch (const EConvertError& e) {
        throw EConvertError("Bad value for session setting '" + std::string(info->name) + "': " + e.what());
    }
    values_ = std::move(values);
}

std::string Session::Get(const std::string& key) const
{
    const KeyInfo* info = FindKey(key);
    if (info == nullptr) {
        throw EInvalidOperation("Unknown session setting '" + key + "'");
    }
    return info->get(values_);
}
