#include "LiveShell.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

LiveShell::LiveShell(const std::string& SessionPath, const std::string& ErrPath)
{
    // A shell that died must fail the test, not end it with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    int toShell[2];
    int fromShell[2];
    // Close-on-exec, so that servers and other shells started later do not
    // hold this shell's pipes open.
    if (pipe2(toShell, O_CLOEXEC) != 0 || pipe2(fromShell, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    std::string bin = std::string(TEST_BIN_DIR) + "/shell";
    pid_ = fork();
    if (pid_ == 0) {
        dup2(toShell[0], 0);
        dup2(fromShell[1], 1);
        int err = open(ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) {
            dup2(err, 2);
        }
        close(toShell[1]);
        close(fromShell[0]);
        ExecProgram({bin, "--headless", "--session", SessionPath, "--trace"});
    }
    close(toShell[0]);
    close(fromShell[1]);
    in_ = toShell[1];
    out_ = fromShell[0];
}

LiveShell::~LiveShell()
{
    if (in_ >= 0) {
        close(in_);
    }
    if (out_ >= 0) {
        // Drain, so that a shell still printing reaches the end of its input;
        // one that does not finish within a minute is stopped.
        char buf[4096];
        pollfd p{out_, POLLIN, 0};
        bool ended = false;
        while (!ended && poll(&p, 1, 60000) > 0) {
            ended = read(out_, buf, sizeof buf) <= 0;
        }
        close(out_);
        if (!ended && pid_ > 0) {
            kill(pid_, SIGKILL);
        }
    }
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

bool LiveShell::Send(const std::string& commands)
{
    std::string text = commands;
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = write(in_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

std::optional<json> LiveShell::NextLine(int timeoutMs)
{
    for (;;) {
        size_t nl;
        while ((nl = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            if (line.empty()) {
                continue;
            }
            try {
                return json::parse(line);
            } catch (const std::exception&) {
                return json{{"unparsed", line}};
            }
        }
        pollfd p{out_, POLLIN, 0};
        int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char buf[65536];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        pending_.append(buf, static_cast<size_t>(n));
    }
}

ShellOutput LiveShell::UntilDump()
{
    ShellOutput result;
    while (auto line = NextLine()) {
        result.lines.push_back(*line);
        if (line->is_object() && line->contains("dump")) {
            return result;
        }
    }
    result.exitCode = -1;
    return result;
}

ShellOutput LiveShell::Step(const std::string& commands)
{
    if (!Send(commands + "\ndump\n")) {
        ShellOutput failed;
        failed.exitCode = -1;
        return failed;
    }
    return UntilDump();
}
