#pragma once
// One operator at work: the shell run headless with its trace, kept running
// and fed commands through a pipe, and read line by line as it answers. A
// test can change the database or stop the server between two commands of
// the same screen, or act (kill the server, cut a connection) while a command
// is still running.
#include "ShellHarness.h"

#include <optional>
#include <string>

class LiveShell {
public:
    // Starts `shell --headless --session SessionPath --trace`, its standard
    // error going to ErrPath.
    LiveShell(const std::string& SessionPath, const std::string& ErrPath);
    ~LiveShell();
    LiveShell(const LiveShell&) = delete;
    LiveShell& operator=(const LiveShell&) = delete;

    // Writes commands (one a line) without waiting for any answer; false
    // when the shell no longer reads.
    bool Send(const std::string& commands);
    // The next line the shell prints, or nothing when it printed none for
    // timeoutMs or ended.
    std::optional<json> NextLine(int timeoutMs = 60000);
    // Every line up to and including the next dump (exitCode -1 when the
    // shell stopped answering before it).
    ShellOutput UntilDump();
    // Sends the commands and a dump, and reads up to that dump.
    ShellOutput Step(const std::string& commands);

private:
    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
};
