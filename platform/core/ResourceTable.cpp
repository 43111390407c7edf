#include "platform/core/ResourceTable.h"

#include "platform/core/Exception.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace {

constexpr std::string_view kSignature = "RESOURCES 1";

struct Table {
    std::mutex mutex;
    // Registrations per name, the visible one last.
    std::map<std::string, std::vector<std::string>, std::less<>> registered;
    std::map<std::string, std::string, std::less<>> overrides;
    std::string overridesPath;
};

// Never destroyed: libraries unloaded during exit unregister from their static
// destructors, which may run after this file's statics are gone.
Table& TheTable()
{
    static Table* table = new Table;
    return *table;
}

bool ValidName(std::string_view name)
{
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) <= ' ') {
            return false;
        }
    }
    return true;
}

// Reads the language module format; throws EResourceError with the line of
// the first fault.
std::map<std::string, std::string, std::less<>> ParseOverrides(const std::string& path, const std::string& data)
{
    std::map<std::string, std::string, std::less<>> result;
    size_t pos = 0;
    int line = 1;
    auto fail = [&](const std::string& what) { return EResourceError(path, line, 1, what); };
    auto readLine = [&](std::string& out) -> bool {
        if (pos >= data.size()) {
            return false;
        }
        size_t end = data.find('\n', pos);
        if (end == std::string::npos) {
            throw fail("line is not terminated");
        }
        out = data.substr(pos, end - pos);
        if (!out.empty() && out.back() == '\r') {
            out.pop_back();
        }
        pos = end + 1;
        return true;
    };

    std::string header;
    if (!readLine(header) || header != kSignature) {
        throw fail("not a resource module (the first line must be \"" + std::string(kSignature) + "\")");
    }
    ++line;
    while (readLine(header)) {
        if (header.empty()) {
            ++line;
            continue;
        }
        size_t space = header.find(' ');
        if (space == std::string::npos) {
            throw fail("entry header must be a name and a byte count");
        }
        std::string name = header.substr(0, space);
        std::string count = header.substr(space + 1);
        if (!ValidName(name)) {
            throw fail("invalid resource name");
        }
        if (count.empty() || count.size() > 10 || count.find_first_not_of("0123456789") != std::string::npos) {
            throw fail("invalid byte count '" + count + "' for resource " + name);
        }
        unsigned long long length = std::stoull(count);
        if (length > data.size() - pos) {
            throw fail("resource " + name + " is cut short: " + count + " bytes announced, " +
                       std::to_string(data.size() - pos) + " present");
        }
        if (result.count(name) != 0) {
            throw fail("resource " + name + " appears twice");
        }
        std::string bytes = data.substr(pos, static_cast<size_t>(length));
        pos += static_cast<size_t>(length);
        int dataLines = 0;
        for (char c : bytes) {
            if (c == '\n') {
                ++dataLines;
            }
        }
        line += 1 + dataLines;
        if (pos >= data.size() || data[pos] != '\n') {
            throw fail("resource " + name + " is not followed by a line feed after its " + count + " bytes");
        }
        ++pos;
        ++line;
        result.emplace(std::move(name), std::move(bytes));
    }
    return result;
}

} // namespace

void ResourceTable::Register(std::string name, std::string_view bytes)
{
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    t.registered[std::move(name)].emplace_back(bytes);
}

void ResourceTable::Unregister(const std::string& name)
{
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.registered.find(name);
    if (it == t.registered.end()) {
        return;
    }
    it->second.pop_back();
    if (it->second.empty()) {
        t.registered.erase(it);
    }
}

void ResourceTable::Unregister(const std::string& name, std::string_view bytes)
{
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.registered.find(name);
    if (it == t.registered.end()) {
        return;
    }
    auto& stack = it->second;
    for (auto entry = stack.rbegin(); entry != stack.rend(); ++entry) {
        if (*entry == bytes) {
            stack.erase(std::next(entry).base());
            break;
        }
    }
    if (stack.empty()) {
        t.registered.erase(it);
    }
}

std::optional<std::string_view> ResourceTable::Find(std::string_view name)
{
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    if (auto o = t.overrides.find(name); o != t.overrides.end()) {
        return std::string_view(o->second);
    }
    if (auto r = t.registered.find(name); r != t.registered.end()) {
        return std::string_view(r->second.back());
    }
    return std::nullopt;
}

void ResourceTable::LoadOverrides(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EResourceError(path, 1, 1, "cannot open the resource module");
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        throw EResourceError(path, 1, 1, "cannot read the resource module");
    }
    auto parsed = ParseOverrides(path, content.str());
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    t.overrides = std::move(parsed);
    t.overridesPath = path;
}

void ResourceTable::ClearOverrides()
{
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    t.overrides.clear();
    t.overridesPath.clear();
}

std::string ResourceTable::OverridesPath()
{
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    return t.overridesPath;
}

std::string ResourceTable::FormatOverrides(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string out(kSignature);
    out += '\n';
    for (const auto& [name, bytes] : entries) {
        if (!ValidName(name)) {
            throw EConvertError("Resource name '" + name + "' is empty or holds a space or control character");
        }
        out += name + " " + std::to_string(bytes.size()) + "\n" + bytes + "\n";
    }
    return out;
}
