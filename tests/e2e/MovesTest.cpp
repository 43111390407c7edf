// The four move commands and the list's double click, driven through the
// shell against a real application server. A dump before and after each
// command isolates what the command itself sent; after the command's rebuild
// the screen must show exactly what the server's database holds.
#include "CommandTrace.h"

#include "platform/net/ServClienteContract.h"

using trace::Calls;
using trace::ChangePackets;
using trace::Errors;
using trace::GridCodes;
using trace::Header;
using trace::ListItems;
using trace::ListOfServicesNotIn;
using trace::Progress;
using trace::Rows;
using trace::Segment;

namespace {

std::vector<std::string> PacketCodes(const std::vector<json>& lines, const std::string& status)
{
    std::vector<std::string> codes;
    for (const auto& packet : ChangePackets(lines)) {
        for (const auto& row : Rows(packet)) {
            if (row.status == status) {
                codes.push_back(row.values.at("CDSERVFILI"));
            }
        }
    }
    return codes;
}

// A traced row of the assigned services: the values given, every other
// declared field left empty, as the screen leaves a field it does not set.
std::map<std::string, std::string> AssignedValues(const std::map<std::string, std::string>& given)
{
    std::map<std::string, std::string> values;
    for (const auto& field : ServClienteContract::Get().DataSet(ServClienteContract::kAssigned).fields) {
        values[field.name] = "";
    }
    for (const auto& [name, value] : given) {
        values.at(name) = value;
    }
    return values;
}

bool Enabled(const ShellOutput& out, const std::string& name, int dump = -1)
{
    return out.Component(name, dump)["enabled"].get<bool>();
}

} // namespace

class MovesTest : public ShellTest {
protected:
    // After the command's rebuild the grid holds the client's assignments and
    // the list every other service of the branch, both as the database has
    // them.
    void ExpectScreenMatchesDatabase(const ShellOutput& out, const std::string& client, int dump = -1)
    {
        auto assigned = Assigned("0001", client);
        EXPECT_EQ(GridCodes(out, dump), assigned) << out.Text();
        EXPECT_EQ(ListItems(out, dump), ListOfServicesNotIn(assigned)) << out.Text();
        EXPECT_EQ(out.Component("cdsServClie", dump)["changeCount"], 0);
    }
};

TEST_F(MovesTest, EntriesTwoAndThreeOfFourAreSentOneRowEachInListOrder)
{
    auto out = Run(Header(0) + "dump\nlistclick lsbPossiveis 1\nlistclick lsbPossiveis 2 ctrl\ndump\n"
                               "click sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_EQ(ListItems(out, 0), (std::vector<std::string>{"00001 - Consultoria", "00003 - Instalação",
                                                           "00004 - Treinamento", "00005 - Suporte técnico"}));
    ASSERT_EQ(out.Component("lsbPossiveis", 1)["selected"], json::array({1, 2}));

    auto command = Segment(out, 1);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(2));
    EXPECT_TRUE(Errors(command).empty()) << out.Text();
    // One packet per row, each holding the one insert with every field.
    auto packets = ChangePackets(command);
    ASSERT_EQ(packets.size(), 2u);
    auto first = Rows(packets[0]);
    auto second = Rows(packets[1]);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].status, "inserted");
    EXPECT_EQ(
        first[0].values,
        AssignedValues(
            {{"CDFILIAL", "0001"}, {"CDSERVFILI", "00003"}, {"CDCLIENTE", "C0001"}, {"NMSERVICO", "Instalação"}}));
    EXPECT_EQ(second[0].status, "inserted");
    EXPECT_EQ(second[0].values.at("CDSERVFILI"), "00004");
    EXPECT_EQ(second[0].values.at("NMSERVICO"), "Treinamento");
    // Every reload asks for the branch and the validated client's code.
    for (const auto& l : command) {
        if (l.contains("call") && l["call"] != "ApCoServClie") {
            EXPECT_EQ(l["args"], json::array({"0001", "C0001"})) << l.dump();
        }
    }

    EXPECT_EQ(Assigned("0001", "C0001"), (std::vector<std::string>{"00002", "00003", "00004"}));
    EXPECT_EQ(ListItems(out), (std::vector<std::string>{"00001 - Consultoria", "00005 - Suporte técnico"}));
    ExpectScreenMatchesDatabase(out, "C0001");
    EXPECT_FALSE(out.Dump()["globals"]["boDelTodos"].get<bool>());
}

TEST_F(MovesTest, EverySelectedEntryIsMovedWhenTheWholeListIsSelected)
{
    // Each deletion shifts the next selected entry onto the index just
    // examined, down to the last one.
    auto out = Run(Header(1) + "listclick lsbPossiveis 0\nlistclick lsbPossiveis 4 shift\ndump\n"
                               "click sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_EQ(out.Component("lsbPossiveis", 0)["selected"], json::array({0, 1, 2, 3, 4}));

    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(5));
    EXPECT_EQ(PacketCodes(command, "inserted"), trace::BranchServices());
    EXPECT_EQ(Assigned("0001", "C0002"), trace::BranchServices());
    ExpectScreenMatchesDatabase(out, "C0002");
    EXPECT_TRUE(ListItems(out).empty());
    EXPECT_FALSE(Enabled(out, "sbtEscolhido"));
    EXPECT_FALSE(Enabled(out, "sbtTodos"));
    EXPECT_TRUE(Enabled(out, "sbtUmEsquerda"));
    EXPECT_TRUE(Enabled(out, "sbtTodosEsquerda"));
}

TEST_F(MovesTest, AdjacentEntriesAtTheEndOfTheListAreAllMoved)
{
    auto out = Run(Header(1) + "listclick lsbPossiveis 2\nlistclick lsbPossiveis 4 shift\ndump\n"
                               "click sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_EQ(out.Component("lsbPossiveis", 0)["selected"], json::array({2, 3, 4}));
    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(3));
    EXPECT_EQ(PacketCodes(command, "inserted"), (std::vector<std::string>{"00003", "00004", "00005"}));
    EXPECT_EQ(Assigned("0001", "C0002"), (std::vector<std::string>{"00003", "00004", "00005"}));
    ExpectScreenMatchesDatabase(out, "C0002");
}

TEST_F(MovesTest, MoveSelectedWithNothingSelectedInsertsNothingButReloads)
{
    auto out = Run(Header(0) + "dump\nclick sbtEscolhido\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_TRUE(out.Component("lsbPossiveis", 0)["selected"].empty());
    ASSERT_TRUE(Enabled(out, "sbtEscolhido", 0));

    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(0));
    EXPECT_TRUE(Errors(command).empty()) << out.Text();
    EXPECT_EQ(Assigned("0001", "C0001"), (std::vector<std::string>{"00002"}));
    ExpectScreenMatchesDatabase(out, "C0001");
    EXPECT_EQ(out.Component("cdsServClie")["state"], "browse");
}

TEST_F(MovesTest, DoubleClickOnAnEmptyListRunsMoveSelectedThoughItsButtonIsDisabled)
{
    // Zeca Todos has every service: the list is empty and sbtEscolhido off.
    auto out = Run(Header(2) + "dump\ndblclick lsbPossiveis\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_TRUE(ListItems(out, 0).empty());
    ASSERT_FALSE(Enabled(out, "sbtEscolhido", 0));

    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(0));
    EXPECT_TRUE(Errors(command).empty()) << out.Text();
    EXPECT_EQ(Assigned("0001", "C0003"), trace::BranchServices());
    ExpectScreenMatchesDatabase(out, "C0003");
    EXPECT_FALSE(Enabled(out, "sbtEscolhido"));
}

TEST_F(MovesTest, DoubleClickMovesTheSelectedEntries)
{
    auto out = Run(Header(0) + "listclick lsbPossiveis 0\nlistclick lsbPossiveis 3 ctrl\ndump\n"
                               "dblclick lsbPossiveis\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveSelectedCalls(2));
    EXPECT_EQ(PacketCodes(command, "inserted"), (std::vector<std::string>{"00001", "00005"}));
    EXPECT_EQ(Assigned("0001", "C0001"), (std::vector<std::string>{"00001", "00002", "00005"}));
    ExpectScreenMatchesDatabase(out, "C0001");
}

TEST_F(MovesTest, MoveAllMovesEveryEntryWhateverTheSelectionUnderTheProgressWindow)
{
    auto out = Run(Header(0) + "listclick lsbPossiveis 2\ndump\nclick sbtTodos\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveAllCalls(4));
    EXPECT_EQ(PacketCodes(command, "inserted"), (std::vector<std::string>{"00001", "00003", "00004", "00005"}));
    for (const auto& packet : ChangePackets(command)) {
        EXPECT_EQ(Rows(packet).size(), 1u);
    }
    // The progress window is open around the inserts only: the rebuild's
    // reloads come after it closed.
    ASSERT_EQ(Progress(command), (std::vector<std::string>{"open", "close"}));
    std::vector<std::string> order;
    for (const auto& l : command) {
        if (l.contains("progress")) {
            order.push_back(l["progress"].get<std::string>());
        } else if (l.contains("call")) {
            order.push_back(l["call"].get<std::string>());
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"open", "ApCoServClie", "ApCoServClie", "ApCoServClie", "ApCoServClie",
                                               "close", "GetServico", "GetServClie"}));
    for (const auto& l : command) {
        if (l.contains("progress") && l["progress"] == "open") {
            EXPECT_EQ(l["text"], "Atualizando Serviços por Cliente...");
        }
    }
    EXPECT_EQ(out.Dump()["globals"]["stServFili"], "00005");
    EXPECT_EQ(Assigned("0001", "C0001"), trace::BranchServices());
    ExpectScreenMatchesDatabase(out, "C0001");
    EXPECT_FALSE(Enabled(out, "sbtTodos"));
    EXPECT_FALSE(out.Dump()["globals"]["boDelTodos"].get<bool>());
}

TEST_F(MovesTest, MoveBackDeletesTheGridsCurrentRowAndSendsTheDeletion)
{
    auto out = Run(Header(2) + "cellclick dbgPadrao 2\ndump\nclick sbtUmEsquerda\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    ASSERT_EQ(out.Component("cdsServClie", 0)["recNo"], 2);
    ASSERT_TRUE(Enabled(out, "sbtUmEsquerda", 0));

    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveBackCalls(true));
    auto packets = ChangePackets(command);
    ASSERT_EQ(packets.size(), 1u);
    auto rows = Rows(packets[0]);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].status, "deleted");
    EXPECT_EQ(rows[0].values.at("CDSERVFILI"), "00003");
    EXPECT_EQ(rows[0].values.at("CDCLIENTE"), "C0003");
    EXPECT_EQ(out.Dump()["globals"]["stnmservico"], "Instalação");
    EXPECT_FALSE(out.Dump()["globals"]["boDelTodos"].get<bool>());
    // The bare name appended after the deletion does not outlast the rebuild.
    EXPECT_EQ(ListItems(out), (std::vector<std::string>{"00003 - Instalação"}));
    EXPECT_EQ(Assigned("0001", "C0003"), (std::vector<std::string>{"00001", "00002", "00004", "00005"}));
    ExpectScreenMatchesDatabase(out, "C0003");
    EXPECT_TRUE(Enabled(out, "sbtEscolhido"));
}

TEST_F(MovesTest, MoveAllBackEmptiesTheGridThroughTheServerAlone)
{
    auto out = Run(Header(2) + "dump\nclick sbtTodosEsquerda\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    auto command = Segment(out, 0);
    EXPECT_EQ(Calls(command), trace::MoveAllBackCalls());
    for (const auto& l : command) {
        if (l.contains("call")) {
            EXPECT_EQ(l["args"], json::array({"0001", "C0003"})) << l.dump();
        }
    }
    std::vector<std::string> order;
    for (const auto& l : command) {
        if (l.contains("progress")) {
            order.push_back(l["progress"].get<std::string>());
            if (l["progress"] == "open") {
                EXPECT_EQ(l["text"], "Atualizando Serviços por Filial...");
            }
        } else if (l.contains("call")) {
            order.push_back(l["call"].get<std::string>());
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"open", "DelTodos", "close", "GetServico", "GetServClie", "GetServico",
                                               "GetServClie"}));
    EXPECT_TRUE(Errors(command).empty()) << out.Text();
    EXPECT_TRUE(Assigned("0001", "C0003").empty());
    EXPECT_TRUE(GridCodes(out).empty());
    EXPECT_EQ(ListItems(out), ListOfServicesNotIn({}));
    ExpectScreenMatchesDatabase(out, "C0003");
    EXPECT_FALSE(out.Dump()["globals"]["boDelTodos"].get<bool>());
    EXPECT_FALSE(Enabled(out, "sbtUmEsquerda"));
    EXPECT_FALSE(Enabled(out, "sbtTodosEsquerda"));
    EXPECT_TRUE(Enabled(out, "sbtTodos"));
}

TEST_F(MovesTest, OtherClientsAreLeftAlone)
{
    auto out = Run(Header(1) + "click sbtTodos\nclick sbtTodosEsquerda\ndump\n");
    ASSERT_EQ(out.exitCode, 0);
    EXPECT_TRUE(Errors(out.lines).empty()) << out.Text();
    EXPECT_TRUE(Assigned("0001", "C0002").empty());
    EXPECT_EQ(Assigned("0001", "C0001"), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(Assigned("0001", "C0003"), trace::BranchServices());
    ExpectScreenMatchesDatabase(out, "C0002");
}
