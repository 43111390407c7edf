#include "CommandTrace.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trace {

std::vector<json> Segment(const ShellOutput& out, int n)
{
    std::vector<json> lines;
    int dumps = -1;
    for (const auto& l : out.lines) {
        bool isDump = l.is_object() && l.contains("dump");
        if (isDump) {
            ++dumps;
            if (dumps > n) {
                break;
            }
            continue;
        }
        if (dumps == n) {
            lines.push_back(l);
        }
    }
    return lines;
}

std::vector<std::string> Calls(const std::vector<json>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("call")) {
            out.push_back(l["call"].get<std::string>());
        }
    }
    return out;
}

std::vector<json> ChangePackets(const std::vector<json>& lines)
{
    std::vector<json> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.value("call", "") == "ApCoServClie") {
            out.push_back(l["args"].at(0));
        }
    }
    return out;
}

std::vector<std::string> Errors(const std::vector<json>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("error")) {
            out.push_back(l["error"].get<std::string>());
        }
    }
    return out;
}

std::vector<std::string> Progress(const std::vector<json>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        if (l.is_object() && l.contains("progress")) {
            out.push_back(l["progress"].get<std::string>());
        }
    }
    return out;
}

std::vector<PacketRow> Rows(const json& packet)
{
    std::vector<PacketRow> rows;
    if (!packet.is_object()) {
        return rows;
    }
    const json& fields = packet["fields"];
    for (const auto& r : packet["rows"]) {
        PacketRow row;
        row.status = r["status"].get<std::string>();
        for (size_t i = 0; i < fields.size() && i < r["values"].size(); ++i) {
            const json& v = r["values"][i];
            row.values[fields[i].get<std::string>()] = v.is_string() ? v.get<std::string>() : std::string();
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> MoveSelectedCalls(int k)
{
    std::vector<std::string> calls;
    for (int i = 0; i < k; ++i) {
        calls.insert(calls.end(), {"ApCoServClie", "GetServico"});
    }
    calls.insert(calls.end(), {"GetServClie", "GetServico", "GetServClie"});
    return calls;
}

std::vector<std::string> MoveAllCalls(int k)
{
    std::vector<std::string> calls(static_cast<size_t>(k), "ApCoServClie");
    calls.insert(calls.end(), {"GetServico", "GetServClie"});
    return calls;
}

std::vector<std::string> MoveBackCalls(bool deleted)
{
    std::vector<std::string> calls;
    if (deleted) {
        calls.push_back("ApCoServClie");
    }
    calls.insert(calls.end(), {"GetServico", "GetServClie", "GetServico", "GetServClie"});
    return calls;
}

std::vector<std::string> MoveAllBackCalls()
{
    return {"DelTodos", "GetServico", "GetServClie", "GetServico", "GetServClie"};
}

std::vector<std::string> GridCodes(const ShellOutput& out, int dump)
{
    std::vector<std::string> codes;
    json cds = out.Component("cdsServClie", dump);
    if (!cds.is_object()) {
        return codes;
    }
    const json& fields = cds["fields"];
    size_t at = 0;
    while (at < fields.size() && fields[at] != "CDSERVFILI") {
        ++at;
    }
    for (const auto& row : cds["rows"]) {
        codes.push_back(at < row.size() ? row[at].get<std::string>() : std::string());
    }
    return codes;
}

std::vector<std::string> ListItems(const ShellOutput& out, int dump)
{
    std::vector<std::string> items;
    json list = out.Component("lsbPossiveis", dump);
    if (list.is_object()) {
        for (const auto& item : list["items"]) {
            items.push_back(item.get<std::string>());
        }
    }
    return items;
}

const std::vector<std::string>& BranchServices()
{
    static const std::vector<std::string> codes = {"00001", "00002", "00003", "00004", "00005"};
    return codes;
}

std::vector<std::string> ListOfServicesNotIn(const std::vector<std::string>& assigned)
{
    static const std::map<std::string, std::string> names = {
        {"00001", "Consultoria"}, {"00002", "Manutenção"},      {"00003", "Instalação"},
        {"00004", "Treinamento"}, {"00005", "Suporte técnico"},
    };
    std::vector<std::string> lines;
    for (const auto& code : BranchServices()) {
        if (std::find(assigned.begin(), assigned.end(), code) == assigned.end()) {
            lines.push_back(code + " - " + names.at(code));
        }
    }
    return lines;
}

} // namespace trace

LiveShell::LiveShell(const std::string& SessionPath, const std::string& ErrPath)
{
    // A shell that died must fail the test, not end it with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    int toShell[2];
    int fromShell[2];
    // Close-on-exec, so that an application server the test starts later
    // does not hold the shell's input open.
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
        std::vector<std::string> args = {bin, "--headless", "--session", SessionPath, "--trace"};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(bin.c_str(), argv.data());
        _exit(127);
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
        // Drain, so that a shell still printing can reach the end of its
        // input; one that does not finish within a minute is stopped.
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

ShellOutput LiveShell::Step(const std::string& commands)
{
    ShellOutput result;
    std::string text = commands;
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    text += "dump\n";
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = write(in_, text.data() + written, text.size() - written);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            result.exitCode = -1;
            return result;
        }
        written += static_cast<size_t>(n);
    }
    for (;;) {
        size_t nl;
        while ((nl = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            if (line.empty()) {
                continue;
            }
            json parsed;
            try {
                parsed = json::parse(line);
            } catch (const std::exception&) {
                parsed = json{{"unparsed", line}};
            }
            result.lines.push_back(parsed);
            if (parsed.is_object() && parsed.contains("dump")) {
                return result;
            }
        }
        pollfd p{out_, POLLIN, 0};
        int ready = poll(&p, 1, 60000);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            result.exitCode = -1;
            return result;
        }
        char buf[65536];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) {
            result.exitCode = -1;
            return result;
        }
        pending_.append(buf, static_cast<size_t>(n));
    }
}
