// The contract both sides link: a data set's fields are checked against it
// in any order, and a missing, extra or resized field is named.
#include "platform/core/Exception.h"
#include "platform/net/ServClienteContract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

TEST(RemoteContract, FieldsOutOfStepWithTheDeclaredDataSetAreNamed)
{
    const RemoteContract& contract = ServClienteContract::Get();
    EXPECT_EQ(RemoteContract::Find("zel.RDMSERVCLIENTE"), &contract);
    EXPECT_EQ(RemoteContract::Find("Zel.rdmOutro"), nullptr);
    const std::string kAssigned = ServClienteContract::kAssigned;
    using Fields = std::vector<std::pair<std::string, int>>;
    Fields declared;
    for (const auto& f : contract.DataSet(kAssigned).fields) {
        declared.emplace_back(f.name, f.size);
    }
    auto with = [&](const std::function<void(Fields&)>& change) {
        Fields fields = declared;
        change(fields);
        return fields;
    };
    auto named = [&](Fields& fields, const char* name) {
        return std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == name; });
    };
    auto why = [&](const Fields& fields) {
        try {
            contract.CheckFields(kAssigned, fields, "cdsServClie");
        } catch (const EDatabaseError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    const Fields reordered = with([&](Fields& f) {
        std::reverse(f.begin(), f.end());
        named(f, "CDFILIAL")->first = "cdfilial";
    });
    EXPECT_EQ(why(reordered), "accepted");
    const Fields resized = with([&](Fields& f) { named(f, "NMSERVICO")->second = 30; });
    EXPECT_NE(why(resized).find("NMSERVICO has the size 30, the server's 40"), std::string::npos) << why(resized);
    const Fields missing = with([&](Fields& f) { f.erase(named(f, "NMSERVICO")); });
    EXPECT_NE(why(missing).find("NMSERVICO the server sends is missing"), std::string::npos) << why(missing);
    const Fields extra = with([](Fields& f) { f.emplace_back("QTD", 0); });
    EXPECT_NE(why(extra).find("QTD is not one the server sends"), std::string::npos) << why(extra);
}

TEST(RemoteContract, LiveUpdatesFollowAMethodNamingABranchAndClientOfADataSetWithTheField)
{
    const RemoteContract& real = ServClienteContract::Get();
    ASSERT_NE(real.LiveUpdate(), nullptr);
    EXPECT_EQ(real.LiveUpdate()->watchedBy, ServClienteContract::kAssigned);
    struct Case {
        const char* method;
        const char* field;
        bool accepted;
    };
    const Case cases[] = {
        {ServClienteContract::kAssigned, "CDSERVFILI", true},
        {ServClienteContract::kAssigned, "QTD", false},
        {ServClienteContract::kClients, "CDCLIENTE", false},    // names no client
        {ServClienteContract::kDeleteAll, "CDSERVFILI", false}, // answers no data set
        {"GetOutro", "CDSERVFILI", false},
    };
    for (const Case& c : cases) {
        auto make = [&] {
            return RemoteContract(real.ServerName(), real.DataSets(), real.Methods(),
                                  ContractLiveUpdate{c.method, c.field});
        };
        if (c.accepted) {
            EXPECT_NO_THROW(make()) << c.method;
        } else {
            EXPECT_THROW(make(), std::logic_error) << c.method << " " << c.field;
        }
    }
}
