// The screen's move and save rules in states that no operator command of the
// shell can reach, with the package loaded in this process: an insert into
// the client's services started while the grid has the focus (the screen
// never enables a command that inserts), move-back and move-all while their
// buttons are disabled (a grid row being edited, an empty list), the double
// click with a disabled sbtEscolhido, and the exported boDelTodos, which
// nothing in the shell sets. The handlers run through the controls' own
// bindings, and the shell's script driver plays the operator around them.
#include "e2e/SeedData.h"
#include "host/Session.h"
#include "host/TdtmDBGeral.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/Cp1252.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TField.h"
#include "platform/package/PackageLoader.h"
#include "screen/TfrmServCliente.h"
#include "server/AppServer.h"
#include "server/Database.h"
#include "server/RdmServCliente.h"
#include "server/Schema.h"
#include "shell/PackageHost.h"
#include "shell/ScreenDump.h"
#include "shell/ScriptDriver.h"
#include "shell/ShellMainForm.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spdlog/spdlog.h>

#include <filesystem>
#include <sstream>
#include <thread>

using nlohmann::json;

namespace {

const char* const kPackage = TEST_BIN_DIR "/PKG_ZEL31500.so";

std::string Header(int clientRow)
{
    return "open\nclick btnCliente\npick " + std::to_string(clientRow) + "\nfocus lsbPossiveis\n";
}

std::vector<std::string> Calls(const std::vector<json>& lines)
{
    std::vector<std::string> calls;
    for (const auto& l : lines) {
        if (l.contains("call")) {
            calls.push_back(l["call"].get<std::string>());
        }
    }
    return calls;
}

std::vector<std::string> Keys(const std::vector<json>& lines, const std::string& key)
{
    std::vector<std::string> values;
    for (const auto& l : lines) {
        if (l.contains(key)) {
            values.push_back(l[key].is_string() ? l[key].get<std::string>() : l[key].dump());
        }
    }
    return values;
}

// status:code of each entry of the change packets among the lines.
std::vector<std::string> PacketEntries(const std::vector<json>& lines)
{
    std::vector<std::string> entries;
    for (const auto& l : lines) {
        if (l.value("call", "") != "ApCoServClie" || !l["args"].at(0).is_object()) {
            continue;
        }
        const json& packet = l["args"].at(0);
        size_t code = 0;
        while (code < packet["fields"].size() && packet["fields"][code] != "CDSERVFILI") {
            ++code;
        }
        for (const auto& row : packet["rows"]) {
            entries.push_back(row["status"].get<std::string>() + ":" + row["values"].at(code).get<std::string>());
        }
    }
    return entries;
}

const std::vector<std::string> kMoveBackCallsWithoutDeletion = {"GetServico", "GetServClie", "GetServico",
                                                                "GetServClie"};

} // namespace

class MovesInProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        spdlog::set_level(spdlog::level::off);
        // The shell's frame, made once, as the shell's main does.
        if (Application().MainForm() == nullptr) {
            auto* frame = new ShellMainForm(&Application());
            Application().SetMainForm(frame);
            frame->Show();
        }
    }

    void SetUp() override
    {
        char tmpl[] = "/tmp/servcliente-moves-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        const std::string dbPath = dir_ + "/server.db";
        db_ = Database::Open(dbPath, {});
        Schema::Create(*db_);
        SeedServerData(*db_);

        RdmServCliente::Register(registry_);
        ServerOptions options;
        options.db = dbPath;
        options.listenHost = "127.0.0.1";
        options.listenPort = 0;
        server_ = std::make_unique<AppServer>(options, registry_);
        server_->Start();
        serverThread_ = std::thread([this] { server_->Run(); });

        // The server's database has the branch table the screen reads locally.
        TdtmDBGeral::Instance().SetDatabase(dbPath);
        Session::Current().LoadFromText("[session]\nFiliProc = 0001\nFiliProcFat = 0001\n"
                                        "NomeFiliProcFat = Matriz São Paulo\nModuFili = 0\nModuloAtiv = 15\n"
                                        "WebURL = 127.0.0.1\nWebPort = " +
                                            std::to_string(server_->Port()) + "\nLocalDatabase = " + dbPath + "\n",
                                        "moves-session.ini");
        package_ = std::make_unique<PackageHost>(kPackage);
        driver_ = std::make_unique<ScriptDriver>(in_, out_, *package_, true);
    }

    void TearDown() override
    {
        if (globals_.Loaded()) {
            globals_.Unload();
        }
        if (package_) {
            package_->Unload();
        }
        driver_.reset();
        package_.reset();
        if (server_) {
            server_->Stop();
            serverThread_.join();
            server_.reset();
        }
        db_.reset();
        std::filesystem::remove_all(dir_);
    }

    // Stops the application server: every later call fails on the way and
    // leaves its change in the log.
    void StopServer()
    {
        server_->Stop();
        serverThread_.join();
        server_.reset();
    }

    // Runs shell commands; returns the lines they printed.
    std::vector<json> Run(const std::string& script)
    {
        in_.clear();
        in_.str(script);
        driver_->Run();
        return NewLines();
    }
    // Runs code as one input of the operator (errors go to the operator);
    // returns the lines printed meanwhile.
    std::vector<json> Do(const std::function<void()>& input)
    {
        Application().Dispatch(input);
        return NewLines();
    }
    std::vector<json> NewLines()
    {
        std::vector<json> lines;
        std::string all = out_.str();
        std::istringstream rest(all.substr(read_));
        read_ = all.size();
        std::string line;
        while (std::getline(rest, line)) {
            if (!line.empty()) {
                lines.push_back(json::parse(line));
            }
        }
        return lines;
    }

    TCustomForm* Screen() const { return package_->ScreenGlobal(); }
    template <class T>
    T* Find(const std::string& name) const
    {
        T* c = dynamic_cast<T*>(Screen()->FindComponent(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    TClientDataSet* ServClie() const { return Find<TClientDataSet>("cdsServClie"); }
    bool Eventos() const { return static_cast<const TfrmServCliente*>(Screen())->Eventos(); }
    json Component(const std::string& name) const { return ScreenDump::Dump(*package_)["screen"]["components"][name]; }
    json Globals() const { return ScreenDump::Dump(*package_)["globals"]; }
    // The package's exported Boolean, writable as the shell could write it.
    bool& BoolGlobal(const std::string& name)
    {
        if (!globals_.Loaded()) {
            globals_.Load(kPackage);
        }
        return *static_cast<bool*>(globals_.Find(name));
    }
    std::string& TextGlobal(const std::string& name)
    {
        if (!globals_.Loaded()) {
            globals_.Load(kPackage);
        }
        return *static_cast<std::string*>(globals_.Find(name));
    }
    std::vector<std::string> Assigned(const std::string& client)
    {
        std::vector<std::string> codes;
        for (const auto& row : db_->Query("SELECT CDSERVFILI FROM SERVCLIE WHERE CDFILIAL = ? AND CDCLIENTE = ? "
                                          "ORDER BY CDSERVFILI",
                                          {"0001", client})) {
            codes.push_back(row.at(0).value_or(""));
        }
        return codes;
    }

    std::string dir_;
    std::unique_ptr<Database> db_;
    ModuleRegistry registry_;
    std::unique_ptr<AppServer> server_;
    std::thread serverThread_;
    std::istringstream in_;
    std::ostringstream out_;
    size_t read_ = 0;
    std::unique_ptr<PackageHost> package_;
    std::unique_ptr<ScriptDriver> driver_;
    PackageLoader globals_;
};

TEST_F(MovesInProcessTest, ANewRowStartedWhileTheGridHasTheFocusIsDroppedAtOnce)
{
    Run(Header(0) + "focus dbgPadrao\n");
    ASSERT_NE(Screen()->ActiveControl(), nullptr);
    ASSERT_EQ(Screen()->ActiveControl()->Name(), "dbgPadrao");
    ASSERT_EQ(ServClie()->RecordCount(), 1);

    auto lines = Do([this] { ServClie()->Append(); });
    EXPECT_TRUE(Keys(lines, "error").empty()) << lines.size();
    EXPECT_TRUE(Calls(lines).empty());
    EXPECT_EQ(ServClie()->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ServClie()->RecordCount(), 1);
    EXPECT_EQ(ServClie()->GetChangeCount(), 0);
    EXPECT_EQ(Assigned("C0001"), (std::vector<std::string>{"00002"}));
}

TEST_F(MovesInProcessTest, DroppingANewRowInTheGridAlsoUndoesAnUnsentChange)
{
    Run(Header(1) + "listclick lsbPossiveis 0\n");
    // The server is gone; the posted row stays unsent in the log.
    StopServer();
    auto failed = Run("click sbtEscolhido\n");
    ASSERT_EQ(Keys(failed, "error").size(), 1u);
    ASSERT_EQ(ServClie()->GetChangeCount(), 1);
    ASSERT_EQ(ServClie()->RecordCount(), 1);

    Run("focus dbgPadrao\n");
    auto lines = Do([this] { ServClie()->Insert(); });
    EXPECT_TRUE(Calls(lines).empty());
    EXPECT_EQ(ServClie()->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ServClie()->RecordCount(), 0);
    EXPECT_EQ(ServClie()->GetChangeCount(), 0);
    EXPECT_TRUE(Assigned("C0002").empty());
}

TEST_F(MovesInProcessTest, ANewRowStartedElsewhereTakesTheBranchOfTheHeader)
{
    Run(Header(0));
    ASSERT_NE(Screen()->ActiveControl(), nullptr);
    ASSERT_EQ(Screen()->ActiveControl()->Name(), "lsbPossiveis");
    auto lines = Do([this] { ServClie()->Append(); });
    EXPECT_TRUE(Keys(lines, "error").empty());
    EXPECT_EQ(ServClie()->State(), TDataSetState::dsInsert);
    EXPECT_EQ(ServClie()->FieldByName("CDFILIAL")->AsString(), "0001");
    EXPECT_EQ(ServClie()->FieldByName("CDSERVFILI")->AsString(), "");
    Do([this] { ServClie()->Cancel(); });
    EXPECT_EQ(ServClie()->RecordCount(), 1);
    EXPECT_TRUE(Calls(NewLines()).empty());
}

TEST_F(MovesInProcessTest, MoveBackWhileARowIsBeingEditedDeletesAndSendsNothingAndGoesOn)
{
    Run(Header(0) + "focus dbgPadrao\ntype x\n");
    ASSERT_EQ(ServClie()->State(), TDataSetState::dsEdit);
    ASSERT_FALSE(Component("sbtUmEsquerda")["enabled"].get<bool>());
    BoolGlobal("boDelTodos") = true;

    // The button's own binding, as a click would run it were it enabled.
    auto lines = Do([this] { Find<TSpeedButton>("sbtUmEsquerda")->Click(); });
    EXPECT_TRUE(Keys(lines, "error").empty());
    EXPECT_EQ(Calls(lines), kMoveBackCallsWithoutDeletion);
    EXPECT_EQ(Globals()["stnmservico"], "Manutenção");
    EXPECT_FALSE(Globals()["boDelTodos"].get<bool>());
    EXPECT_TRUE(Eventos());
    EXPECT_EQ(Assigned("C0001"), (std::vector<std::string>{"00002"}));
    EXPECT_EQ(ServClie()->RecordCount(), 1);
    EXPECT_EQ(ServClie()->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(Component("lsbPossiveis")["items"].size(), 4u);
}

TEST_F(MovesInProcessTest, BothMoveBackCommandsClearBoDelTodosAndTheMovesToTheClientLeaveIt)
{
    Run(Header(1));
    BoolGlobal("boDelTodos") = true;
    Run("listclick lsbPossiveis 0\nclick sbtEscolhido\n");
    EXPECT_TRUE(Globals()["boDelTodos"].get<bool>());
    Run("click sbtTodos\n");
    EXPECT_TRUE(Globals()["boDelTodos"].get<bool>());
    ASSERT_EQ(Assigned("C0002").size(), 5u);

    Run("cellclick dbgPadrao 0\nclick sbtUmEsquerda\n");
    EXPECT_FALSE(Globals()["boDelTodos"].get<bool>());
    EXPECT_EQ(Assigned("C0002").size(), 4u);

    BoolGlobal("boDelTodos") = true;
    Run("click sbtTodosEsquerda\n");
    EXPECT_FALSE(Globals()["boDelTodos"].get<bool>());
    EXPECT_TRUE(Assigned("C0002").empty());
}

TEST_F(MovesInProcessTest, TheDoubleClickMovesTheSelectionWhileSbtEscolhidoIsDisabled)
{
    Run(Header(0) + "listclick lsbPossiveis 1\nlistclick lsbPossiveis 2 ctrl\n");
    Do([this] { Find<TSpeedButton>("sbtEscolhido")->SetEnabled(false); });
    // The operator's click on the disabled button does nothing.
    ASSERT_TRUE(Calls(Run("click sbtEscolhido\n")).empty());

    auto lines = Run("dblclick lsbPossiveis\n");
    EXPECT_TRUE(Keys(lines, "error").empty());
    EXPECT_EQ(Calls(lines), (std::vector<std::string>{"ApCoServClie", "GetServico", "ApCoServClie", "GetServico",
                                                      "GetServClie", "GetServico", "GetServClie"}));
    EXPECT_EQ(PacketEntries(lines), (std::vector<std::string>{"inserted:00003", "inserted:00004"}));
    EXPECT_EQ(Assigned("C0001"), (std::vector<std::string>{"00002", "00003", "00004"}));
}

TEST_F(MovesInProcessTest, MoveAllWithAnEmptyListOpensAndClosesTheProgressAndInsertsNothing)
{
    Run(Header(2));
    ASSERT_TRUE(Component("lsbPossiveis")["items"].empty());
    ASSERT_FALSE(Component("sbtTodos")["enabled"].get<bool>());

    auto lines = Do([this] { Find<TSpeedButton>("sbtTodos")->Click(); });
    EXPECT_TRUE(Keys(lines, "error").empty());
    EXPECT_EQ(Keys(lines, "progress"), (std::vector<std::string>{"open", "close"}));
    EXPECT_EQ(Calls(lines), (std::vector<std::string>{"GetServico", "GetServClie"}));
    EXPECT_EQ(Globals()["stServFili"], "");
    EXPECT_EQ(Assigned("C0003").size(), 5u);
    EXPECT_EQ(ServClie()->RecordCount(), 5);
    EXPECT_TRUE(Eventos());
}

TEST_F(MovesInProcessTest, ADeletionIsSentAloneAndAppendsTheBareNameHeldInStnmservico)
{
    // Move-back sets stnmservico and rebuilds the list right after the
    // deletion; a deletion of its own shows the entry it appends.
    Run(Header(2) + "cellclick dbgPadrao 3\n");
    TextGlobal("stnmservico") = Cp1252::FromUtf8("Treinamento");
    auto lines = Do([this] { ServClie()->Delete(); });
    EXPECT_TRUE(Keys(lines, "error").empty());
    EXPECT_EQ(Calls(lines), (std::vector<std::string>{"ApCoServClie"}));
    EXPECT_EQ(PacketEntries(lines), (std::vector<std::string>{"deleted:00004"}));
    EXPECT_EQ(ServClie()->GetChangeCount(), 0);
    EXPECT_EQ(Component("lsbPossiveis")["items"], json::array({"Treinamento"}));
    EXPECT_TRUE(Component("lsbPossiveis")["selected"].empty());
    EXPECT_EQ(Assigned("C0003"), (std::vector<std::string>{"00001", "00002", "00003", "00005"}));
}

TEST_F(MovesInProcessTest, AFailedMoveLeavesNoControlsSuspendedAndBoEventosTrue)
{
    Run(Header(1) + "listclick lsbPossiveis 0\n");
    StopServer();
    auto* servico = Find<TClientDataSet>("cdsServico");

    // Move-all fails on its first row, inside the progress window, with both
    // data sets' controls suspended and boEventos false.
    auto all = Run("click sbtTodos\n");
    ASSERT_EQ(Keys(all, "error").size(), 1u);
    EXPECT_EQ(Keys(all, "progress"), (std::vector<std::string>{"open", "close"}));
    EXPECT_FALSE(ServClie()->ControlsDisabled());
    EXPECT_FALSE(servico->ControlsDisabled());
    EXPECT_TRUE(Eventos());

    // Move-selected fails on its first row, the unsent one still in the log.
    auto selected = Run("listclick lsbPossiveis 3\nclick sbtEscolhido\n");
    ASSERT_EQ(Keys(selected, "error").size(), 1u);
    EXPECT_EQ(ServClie()->GetChangeCount(), 2);
    EXPECT_FALSE(ServClie()->ControlsDisabled());
    EXPECT_TRUE(Eventos());

    // Move-back fails on the same unsent rows.
    auto back = Run("cellclick dbgPadrao 0\nclick sbtUmEsquerda\n");
    ASSERT_EQ(Keys(back, "error").size(), 1u);
    EXPECT_FALSE(ServClie()->ControlsDisabled());
    EXPECT_TRUE(Eventos());
}
