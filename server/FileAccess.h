#pragma once
// Why this process cannot use a file or a folder, in words an administrator
// acts on: missing, not a regular file or folder, or not readable or writable
// by the user the process runs as, with the mode and the owner that make it
// so ("cannot be read by user servcliente (mode 0640, owner root:root)").
//
// Failure behaviour: never throws; an empty text means nothing is in the way.
#include <string>

class FileAccess {
public:
    // Why the file at path cannot be read.
    static std::string WhyNotReadable(const std::string& path);
    // Why the folder at path cannot take new files (a database's journal).
    static std::string WhyNotWritableFolder(const std::string& path);
    // Why the file at path cannot be written; empty also when it is missing.
    static std::string WhyNotWritable(const std::string& path);
};
