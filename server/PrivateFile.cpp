#include "server/PrivateFile.h"

#include "platform/core/Exception.h"
#include "server/FileAccess.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

bool PrivateFile::IsPrivate(unsigned mode, unsigned owner)
{
    // Root's file may be read by its group; nobody but its owner may change it.
    const unsigned allowed = owner == 0 ? 0040 : 0;
    return (mode & 077 & ~allowed) == 0;
}

void PrivateFile::RequirePrivate(const std::string& path, const std::string& what)
{
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !IsPrivate(st.st_mode, st.st_uid)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        throw EInvalidOperation("The " + what + " " + path + " has mode " + mode + " and owner uid " +
                                std::to_string(st.st_uid) +
                                ": others may read or change it; make it its owner's only (chmod 600), or root's "
                                "and readable by the server's group only (chown root:GROUP, chmod 640)");
    }
}

std::string PrivateFile::Read(const std::string& path, const std::string& what, size_t maxSize)
{
    if (const std::string why = FileAccess::WhyNotReadable(path); !why.empty()) {
        throw EInvalidOperation("Cannot read the " + what + " " + path + ": it " + why);
    }
    RequirePrivate(path, what);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EInvalidOperation("Cannot read the " + what + " " + path);
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > maxSize) {
            throw EInvalidOperation("The " + what + " " + path + " is larger than " + std::to_string(maxSize) +
                                    " bytes");
        }
    }
    return text;
}
