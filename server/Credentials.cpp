#include "server/Credentials.h"

#include "platform/core/Exception.h"
#include "server/PasswordHash.h"
#include "server/PrivateFile.h"

#include <sstream>
#include <sys/stat.h>

namespace {

// Why name is not an operator's name, or empty when it is one.
std::string BadName(const std::string& name)
{
    if (name.empty() || name.size() > 64) {
        return "an operator name has 1 to 64 characters";
    }
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
                  c == '-' || c == '@';
        if (!ok) {
            return "the operator name '" + name + "' holds a character other than letters, digits, '.', '_', '-', '@'";
        }
    }
    return {};
}

// Reads "*" or "0001,0002" into entry; the reason when it is neither.
std::string ReadBranches(const std::string& text, Credentials::Entry& entry)
{
    if (text == "*") {
        entry.allBranches = true;
        return {};
    }
    std::stringstream in(text);
    for (std::string code; std::getline(in, code, ',');) {
        if (code.find('*') != std::string::npos) {
            return "'" + text + "' mixes '*' (every branch) with branch codes; give '*' alone or the codes alone";
        }
        if (code.empty() || code.size() > 4) {
            return "'" + text + "' is not '*' or branch codes of 1 to 4 characters apart by commas";
        }
        entry.branches.insert(code);
    }
    if (entry.branches.empty() || text.back() == ',') {
        return "'" + text + "' is not '*' or branch codes of 1 to 4 characters apart by commas";
    }
    return {};
}

} // namespace

std::shared_ptr<const Credentials> Credentials::Load(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        throw EInvalidOperation("The credentials file " + path + " is not a regular file");
    }
    return std::make_shared<const Credentials>(Parse(PrivateFile::Read(path, "credentials file"), path));
}

Credentials Credentials::Parse(const std::string& text, const std::string& file)
{
    // A file caught while it is being written in place ends inside a line
    // (a branch list cut to "0001,00"); a whole one ends with its last line.
    if (!text.empty() && text.back() != '\n') {
        throw EInvalidOperation("The credentials file " + file +
                                " does not end with a line feed: it may be half-written; write it whole beside its "
                                "place and rename it into place");
    }
    Credentials credentials;
    std::stringstream in(text);
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        auto fail = [&](const std::string& why) {
            throw EInvalidOperation("The credentials file " + file + ", line " + std::to_string(lineNo) + ": " + why);
        };
        if (const auto hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::stringstream fields(line);
        std::string name;
        std::string stored;
        std::string branches;
        std::string extra;
        if (!(fields >> name)) {
            continue;
        }
        if (!(fields >> stored >> branches) || (fields >> extra)) {
            fail("expected three fields: NAME HASH BRANCHES");
        }
        if (auto why = BadName(name); !why.empty()) {
            fail(why);
        }
        Entry entry;
        try {
            PasswordHash::Parse(stored);
        } catch (const EConvertError& e) {
            fail(e.what());
        }
        entry.hash = stored;
        if (auto why = ReadBranches(branches, entry); !why.empty()) {
            fail(why);
        }
        if (!credentials.entries_.emplace(name, std::move(entry)).second) {
            fail("the operator " + name + " is given twice");
        }
    }
    if (credentials.entries_.empty()) {
        throw EInvalidOperation("The credentials file " + file + " names no operator");
    }
    return credentials;
}

std::string Credentials::Line(const std::string& name, const std::string& secret, const std::string& branches)
{
    if (auto why = BadName(name); !why.empty()) {
        throw EInvalidOperation(why);
    }
    Entry entry;
    if (auto why = ReadBranches(branches, entry); !why.empty()) {
        throw EInvalidOperation(why);
    }
    if (secret.empty()) {
        throw EInvalidOperation("the secret is empty");
    }
    return name + " " + PasswordHash::Make(secret) + " " + branches;
}

const Credentials::Entry* Credentials::Verify(const std::string& name, const std::string& secret) const
{
    auto it = entries_.find(name);
    if (it == entries_.end()) {
        // The same work as for a known name, so the time does not tell.
        static const std::string unknown = PasswordHash::Make("unknown operator");
        PasswordHash::Verify(unknown, secret);
        return nullptr;
    }
    return PasswordHash::Verify(it->second.hash, secret) ? &it->second : nullptr;
}

bool Credentials::Holds(const std::string& name, const Entry& entry) const
{
    auto mine = entries_.find(name);
    return mine != entries_.end() && mine->second.hash == entry.hash && mine->second.allBranches == entry.allBranches &&
           mine->second.branches == entry.branches;
}
