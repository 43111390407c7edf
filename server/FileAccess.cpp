#include "server/FileAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string UserName(uid_t uid)
{
    const passwd* pw = getpwuid(uid);
    return pw != nullptr ? pw->pw_name : "uid " + std::to_string(uid);
}

std::string GroupName(gid_t gid)
{
    const group* gr = getgrgid(gid);
    return gr != nullptr ? gr->gr_name : "gid " + std::to_string(gid);
}

// "cannot be read by user X (mode 0640, owner root:servcliente)".
std::string Refused(const char* doing, const struct stat& st)
{
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("cannot be ") + doing + " by user " + UserName(geteuid()) + " (mode " + mode + ", owner " +
           UserName(st.st_uid) + ":" + GroupName(st.st_gid) + ")";
}

} // namespace

std::string FileAccess::WhyNotReadable(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? "is missing" : std::string("cannot be looked at: ") + std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return "is not a regular file";
    }
    if (access(path.c_str(), R_OK) != 0) {
        return Refused("read", st);
    }
    return {};
}

std::string FileAccess::WhyNotWritableFolder(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? "does not exist" : std::string("cannot be looked at: ") + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return "is not a folder";
    }
    if (access(path.c_str(), W_OK | X_OK) != 0) {
        return Refused("written", st);
    }
    return {};
}

std::string FileAccess::WhyNotWritable(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return {};
    }
    if (access(path.c_str(), W_OK) != 0) {
        return Refused("written", st);
    }
    return {};
}
