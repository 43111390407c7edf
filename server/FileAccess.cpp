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

// Why path, a file or a folder as folder says, cannot be used as access's
// mode asks (doing: "read", "written").
std::string WhyNot(const std::string& path, bool folder, int mode, const char* doing)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            return folder ? "does not exist" : "is missing";
        }
        return std::string("cannot be looked at: ") + std::strerror(errno);
    }
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) {
        return folder ? "is not a folder" : "is not a regular file";
    }
    if (access(path.c_str(), mode) != 0) {
        return Refused(doing, st);
    }
    return {};
}

} // namespace

std::string FileAccess::WhyNotReadable(const std::string& path)
{
    return WhyNot(path, false, R_OK, "read");
}

std::string FileAccess::WhyNotWritableFolder(const std::string& path)
{
    return WhyNot(path, true, W_OK | X_OK, "written");
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
