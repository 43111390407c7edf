// The screen built from its form resources, checked against its layout table
// (tests/e2e/data/layout.txt) through the class registry, and the layout's
// behaviour: the branch edit's mask, the message table, the splitter, and the
// connection's host and port.
#include "InProcessScreen.h"

#include "host/Session.h"
#include "host/TMessages.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TPanel.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TSplitter.h"
#include "platform/core/Cp1252.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TField.h"
#include "platform/model/ClassRegistry.h"
#include "platform/net/ServClienteContract.h"

#include <fstream>
#include <map>

namespace {

struct Row {
    std::string component;
    std::string property;
    std::string value;
    int line;
};

std::vector<Row> ReadLayout()
{
    std::ifstream f(std::string(TEST_SOURCE_DIR) + "/tests/e2e/data/layout.txt");
    std::vector<Row> rows;
    std::string line;
    int n = 0;
    while (std::getline(f, line)) {
        ++n;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        auto a = line.find('|');
        auto b = line.find('|', a + 1);
        rows.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1), n});
    }
    return rows;
}

// A property's value in the table's notation.
std::string Show(const PropertyInfo& info, const PropertyValue& v)
{
    if (auto* i = std::get_if<int>(&v)) {
        for (const auto& [name, value] : info.constants) {
            if (value == *i) {
                return name;
            }
        }
        return std::to_string(*i);
    }
    if (auto* b = std::get_if<bool>(&v)) {
        return *b ? "True" : "False";
    }
    if (auto* s = std::get_if<std::string>(&v)) {
        return Cp1252::ToUtf8(*s);
    }
    if (auto* c = std::get_if<TComponent*>(&v)) {
        return *c == nullptr ? "nil" : (*c)->Name();
    }
    if (auto* list = std::get_if<std::vector<std::string>>(&v)) {
        std::string out = "[";
        for (size_t i = 0; i < list->size(); ++i) {
            out += (i ? ", " : "") + Cp1252::ToUtf8((*list)[i]);
        }
        return out + "]";
    }
    return "?";
}

} // namespace

class ScreenLayoutTest : public InProcessScreen {};

TEST_F(ScreenLayoutTest, EveryComponentMatchesTheLayoutTable)
{
    Open();
    ASSERT_NE(Screen(), nullptr) << (errors_.empty() ? "" : errors_[0]);
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> lists;
    for (const Row& row : ReadLayout()) {
        TComponent* c = Find(row.component);
        ASSERT_NE(c, nullptr) << "line " << row.line << ": no component " << row.component;
        const PropertyInfo* info = ClassRegistry::FindProperty(c->ClassName(), row.property);
        ASSERT_NE(info, nullptr) << "line " << row.line << ": " << c->ClassName() << " has no " << row.property;
        ASSERT_TRUE(info->read) << "line " << row.line << ": " << row.property << " cannot be read";
        PropertyValue v = info->read(*c);
        if (info->kind == PropertyKind::StringList) {
            lists[{row.component, row.property}].push_back(row.value);
            continue;
        }
        EXPECT_EQ(Show(*info, v), row.value) << "line " << row.line << ": " << row.component << "." << row.property;
    }
    for (const auto& [key, expected] : lists) {
        const PropertyInfo* info = ClassRegistry::FindProperty(Find(key.first)->ClassName(), key.second);
        auto actual = std::get<std::vector<std::string>>(info->read(*Find(key.first)));
        ASSERT_EQ(actual.size(), expected.size()) << key.first << "." << key.second;
        for (size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(Cp1252::ToUtf8(actual[i]), expected[i]) << key.first << "." << key.second << " line " << i;
        }
    }
}

TEST_F(ScreenLayoutTest, DataSetsHoldTheirFieldsInTableOrder)
{
    Open();
    auto names = [this](const char* ds) {
        std::vector<std::string> out;
        for (TField* f : Get<TDataSet>(ds)->Fields()) {
            out.push_back(f->FieldName());
        }
        return out;
    };
    // A data set the server fills holds its fields in the order the
    // contract declares them, which is its packets' order.
    auto declared = [](const std::string& dataSet) {
        std::vector<std::string> out;
        for (const auto& f : ServClienteContract::Get().DataSet(dataSet).fields) {
            out.push_back(f.name);
        }
        return out;
    };
    EXPECT_EQ(names("cdsCliente"), declared(ServClienteContract::kClients));
    EXPECT_EQ(names("cdsServico"), declared(ServClienteContract::kServices));
    EXPECT_EQ(names("cdsServClie"), declared(ServClienteContract::kAssigned));
    EXPECT_EQ(names("qryFilial"), (std::vector<std::string>{"CDFILIAL", "NMFILIAL"}));
}

TEST_F(ScreenLayoutTest, BranchCodeIsTypedUpperCaseAndAFifthCharacterIsRefused)
{
    Open();
    auto* edit = Get<TMaskEdit>("medCdFilial");
    ASSERT_TRUE(edit->Focused());
    Application().Dispatch([&] {
        edit->SelectAll();
        for (char c : std::string("ab9cd")) {
            Screen()->DispatchKey(c);
        }
    });
    EXPECT_EQ(edit->Text(), "AB9C");
    EXPECT_EQ(edit->DisplayText(), "AB9C");
}

TEST_F(ScreenLayoutTest, MessageTableFindsKeysWithoutRegardToCase)
{
    Open();
    auto* msg = Get<TMessages>("msgPadrao");
    EXPECT_EQ(Cp1252::ToUtf8(msg->Msg("Filial_nc")), "Filial não cadastrada.");
    EXPECT_EQ(Cp1252::ToUtf8(msg->Msg("Cliente_nc")), "Não há cliente cadastrado para filial informada.");
}

TEST_F(ScreenLayoutTest, WideningTheListNarrowsTheGridSideAndKeepsTheButtonsBetween)
{
    Open();
    auto* list = Get<TControl>("panClie");
    auto* buttons = Get<TControl>("panBotoes");
    auto* grid = Get<TControl>("panClienFilial");
    Get<TSplitter>("splClientes")->MoveBy(40);
    EXPECT_EQ(list->Width(), 313);
    EXPECT_EQ(Get<TControl>("splClientes")->Left(), 313);
    EXPECT_EQ(buttons->Left(), 316);
    EXPECT_EQ(grid->Left(), 342);
    EXPECT_EQ(grid->Width(), 290);
    // The grid side never disappears under the list.
    Get<TSplitter>("splClientes")->MoveBy(10000);
    EXPECT_GT(grid->Width(), 0);
    EXPECT_LT(list->Left() + list->Width(), buttons->Left() + 1);
}

TEST_F(ScreenLayoutTest, ConnectionUsesTheSessionAtOpenAndClosesWithTheScreen)
{
    int port = Server().Port();
    EXPECT_EQ(ConnectionsTo(port), 0);
    Open();
    EXPECT_EQ(ConnectionsTo(port), 1);
    // A new port in the session changes nothing for the open screen.
    Session::Current().Set("WebPort", "1");
    Application().Dispatch([this] { Get<TSpeedButton>("btnCliente")->OperatorClick(); });
    EXPECT_TRUE(errors_.empty()) << errors_[0];
    EXPECT_EQ(ConnectionsTo(port), 1);
    Application().Dispatch([this] { Screen()->Close(); });
    EXPECT_EQ(Screen(), nullptr);
    EXPECT_EQ(ConnectionsTo(port), 0);
    // The next screen connects where the session now says.
    Open();
    EXPECT_EQ(ConnectionsTo(port), 0);
    Session::Current().Set("WebPort", std::to_string(port));
}
