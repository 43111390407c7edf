#pragma once
// Reading what one command did from the shell's trace. A script puts a `dump`
// before and after the command; the lines between the two dumps are the
// command's own: its remote calls in order, the change packets it sent, the
// errors the operator saw, the progress window opening and closing.
#include "LiveShell.h"
#include "ShellHarness.h"

#include <map>
#include <string>
#include <vector>

namespace trace {

// The lines printed after the n-th dump and before the next one; n = -1
// gives the lines before the first dump.
std::vector<json> Segment(const ShellOutput& out, int n);
// Remote method names, in the order sent.
std::vector<std::string> Calls(const std::vector<json>& lines);
// The argument of each ApCoServClie among the lines (null for Null).
std::vector<json> ChangePackets(const std::vector<json>& lines);
std::vector<std::string> Errors(const std::vector<json>& lines);
// "open" / "close" for each progress line.
std::vector<std::string> Progress(const std::vector<json>& lines);

// Opens the screen, picks the client of the given lookup row (by name: 0 Ana
// Souza C0001, 1 Comércio Álvares C0002, then any clients a test added, last
// Zeca Todos C0003) and leaves the header for the list, which loads both
// views.
std::string Header(int clientRow);

// One entry of a change packet.
struct PacketRow {
    std::string status;
    std::map<std::string, std::string> values;
};
std::vector<PacketRow> Rows(const json& packet);
// status:code of every entry of every change packet among the lines.
std::vector<std::string> PacketEntries(const std::vector<json>& lines);

// Remote calls a command makes: the performance table of the moves plus one
// ApCoServClie per posted row, for k rows moved.
std::vector<std::string> MoveSelectedCalls(int k);
std::vector<std::string> MoveAllCalls(int k);
std::vector<std::string> MoveBackCalls(bool deleted);
std::vector<std::string> MoveAllBackCalls();

// What the screen shows in the given dump: the service codes of the grid's
// rows, and the list's entries.
std::vector<std::string> GridCodes(const ShellOutput& out, int dump = -1);
std::vector<std::string> ListItems(const ShellOutput& out, int dump = -1);
// Every service code of branch 0001 of the test database, in code order.
const std::vector<std::string>& BranchServices();
// The ServiceLines of branch 0001's services that are not in assigned.
std::vector<std::string> ListOfServicesNotIn(const std::vector<std::string>& assigned);

} // namespace trace
