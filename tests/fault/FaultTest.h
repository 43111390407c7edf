#pragma once
// The fault tests' fixture: the end-to-end harness (a real application server
// over its database, the shell driven as an operator would) with a branch of
// many services and a few extra clients, and helpers to read what a command
// did and to check the screen against the database.
#include "CommandTrace.h"

#include <memory>
#include <string>
#include <vector>

using trace::Header;
using trace::PacketEntries;

class FaultTest : public ShellTest {
protected:
    // Adds services 00006.. to branch 0001 so that it holds total services.
    void AddServices(int total);
    // Adds clients C1001.. ("Operador 1"..) to branch 0001; the client lookup
    // lists by name, so they are its rows 2, 3... (fewer than ten of them).
    void AddClients(int count);
    std::unique_ptr<LiveShell> NewShell(const std::string& name);

    // Every service code of branch 0001, in code order.
    std::vector<std::string> BranchCodes();
    // Rows of SERVCLIE for one client, counting duplicates.
    int AssignmentRows(const std::string& client);

    // The codes of the list's entries in the given dump.
    static std::vector<std::string> ListCodes(const ShellOutput& out, int dump = -1);
    // Lines holding a script error or unparsed output: the driving went wrong.
    static std::vector<json> ScriptTrouble(const std::vector<json>& lines);

    // After a command's rebuild: the grid holds what the database holds for
    // the client, the list every other service of the branch, nothing unsent.
    void ExpectScreenMatchesDatabase(const ShellOutput& out, const std::string& client);
    // The command showed the operator exactly one error, with a message; the
    // message goes to the test's output, for the record.
    static void ExpectOneError(const ShellOutput& out);
    // After an error: no progress window, the cursor back, the data set
    // browsing.
    static void ExpectUsable(const ShellOutput& out);

    // A PostgreSQL URL naming another database of the same cluster.
    static std::string WithDatabase(const std::string& url, const std::string& name);
    // Makes the PostgreSQL database name anew on the cluster at url and copies
    // the harness's data into it, table by table; it becomes the test's
    // database. Returns its URL.
    std::string MoveDataTo(const std::string& url, const std::string& name);
};
