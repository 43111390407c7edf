#include "ServerFixture.h"

#include "platform/core/Exception.h"

namespace {

std::vector<std::string> Column(const DataPacket& p, const char* field)
{
    std::vector<std::string> values;
    int i = p.FieldIndex(field);
    EXPECT_GE(i, 0) << field;
    for (const auto& r : p.rows) {
        values.push_back(r.values.at(static_cast<size_t>(i)).value_or("<null>"));
    }
    return values;
}

std::vector<std::pair<std::string, int>> Layout(const DataPacket& p)
{
    std::vector<std::pair<std::string, int>> layout;
    for (const auto& f : p.fields) {
        EXPECT_EQ(f.type, TFieldType::ftString);
        layout.emplace_back(f.name, f.size);
    }
    return layout;
}

// The fields and sizes the contract declares for a data set, which the
// server's packets carry in that order.
std::vector<std::pair<std::string, int>> Declared(const std::string& dataSet)
{
    std::vector<std::pair<std::string, int>> layout;
    for (const auto& f : ServClienteContract::Get().DataSet(dataSet).fields) {
        layout.emplace_back(f.name, f.size);
    }
    return layout;
}

using S = std::vector<std::string>;

} // namespace

TEST_P(ServerTest, GetClienteWithoutNumberGivesEveryClientOfTheBranchByName)
{
    DataPacket p = Packet2("GetCliente", "0001", "");
    EXPECT_EQ(Layout(p), Declared(ServClienteContract::kClients));
    EXPECT_EQ(Column(p, "NMRAZSOCCLIE"), (S{W("Álvaro Comércio Ltda"), "bruno lima", "Carla Dias", W("Zélia Souza")}));
    EXPECT_EQ(Column(p, "CDCLIENTE"), (S{"00000002", "00000003", "00000004", "00000001"}));
    EXPECT_EQ(Column(p, "IDTPIJURCLIE"), (S{"J", "F", "F", "F"}));
    EXPECT_EQ(Packet2("GetCliente", "0009", "").rows.size(), 0u);
}

TEST_P(ServerTest, GetClienteComparesRegistrationNumbersByTheirDigits)
{
    EXPECT_EQ(Column(Packet2("GetCliente", "0001", "52998224725"), "CDCLIENTE"), S{"00000004"});
    EXPECT_EQ(Column(Packet2("GetCliente", "0001", "529.982.247-25"), "CDCLIENTE"), S{"00000004"});
    EXPECT_EQ(Column(Packet2("GetCliente", "0001", "12345678909"), "NMRAZSOCCLIE"), S{W("Zélia Souza")});
    EXPECT_EQ(Column(Packet2("GetCliente", "0002", "12345678909"), "NMRAZSOCCLIE"), S{"Outra Filial"});
    EXPECT_TRUE(Packet2("GetCliente", "0001", "00000000000").rows.empty());
    EXPECT_TRUE(Packet2("GetCliente", "0001", "abc").rows.empty());
    EXPECT_TRUE(Packet2("GetCliente", "0001", "1234567890").rows.empty()); // a prefix is no match
}

TEST_P(ServerTest, GetServicoAndGetServClieSplitTheBranchServicesByCode)
{
    DataPacket possible = Packet2("GetServico", "0001", "00000001");
    EXPECT_EQ(Layout(possible), Declared(ServClienteContract::kServices));
    EXPECT_EQ(Column(possible, "CDSERVFILI"), (S{"00001", "00003"}));
    EXPECT_EQ(Column(possible, "NMSERVICO"), (S{W("Manutenção"), W("Limpeza pós-obra")}));
    EXPECT_EQ(Column(possible, "CDFILIAL"), (S{"0001", "0001"}));

    DataPacket assigned = Packet2("GetServClie", "0001", "00000001");
    EXPECT_EQ(Layout(assigned), Declared(ServClienteContract::kAssigned));
    ASSERT_EQ(assigned.rows.size(), 1u);
    EXPECT_EQ(assigned.rows[0].values, contractrows::AssignedRow("0001", "00002", "00000001", "Consultoria"));

    EXPECT_EQ(Column(Packet2("GetServico", "0001", "00000003"), "CDSERVFILI"), (S{"00001", "00002", "00003"}));
    EXPECT_TRUE(Packet2("GetServClie", "0001", "00000003").rows.empty());
}

TEST_P(ServerTest, DelTodosRemovesEveryAssignmentOfTheClientAndAnswersHowMany)
{
    Apply(ChangePacketBuilder().Insert("0001", "00003", "00000001").Build());
    EXPECT_EQ(Call2("DelTodos", "0001", "00000001").AsInt(), 2);
    EXPECT_TRUE(Assigned("0001", "00000001").empty());
    EXPECT_EQ(Assigned("0002", "00000001"), S{"00001"}); // the same code in another branch stays
    EXPECT_EQ(Call2("DelTodos", "0001", "00000001").AsInt(), 0);
}

TEST_P(ServerTest, ApCoServClieAppliesInsertsAndDeletesAndAResendDoesNoHarm)
{
    Variant packet = ChangePacketBuilder()
                         .Insert("0001", "00001", "00000001")
                         .Insert("0001", "00003", "00000001")
                         .Delete("0001", "00002", "00000001")
                         .Build();
    EXPECT_EQ(Apply(packet).AsInt(), 3);
    EXPECT_EQ(Assigned("0001", "00000001"), (S{"00001", "00003"}));
    const std::string after = Snapshot();

    EXPECT_EQ(Apply(packet).AsInt(), 3); // sent again after a lost answer
    EXPECT_EQ(Snapshot(), after);
    EXPECT_EQ(Column(Packet2("GetServClie", "0001", "00000001"), "CDSERVFILI"), (S{"00001", "00003"}));
    EXPECT_TRUE(Packet2("GetServico", "0001", "00000001").rows.size() == 1u);
}

TEST_P(ServerTest, ApCoServClieWithNullDoesNothing)
{
    const std::string before = Snapshot();
    std::vector<RemoteArg> args;
    args.push_back(RemoteArg::ByRef(Variant::Null()));
    EXPECT_EQ(Client().Call("ApCoServClie", args).AsInt(), 0);
    EXPECT_TRUE(args[0].Value().IsNull());
    EXPECT_EQ(Snapshot(), before);
}

TEST_P(ServerTest, ApCoServClieUpdatesAModifiedRowByItsOriginalKey)
{
    EXPECT_EQ(Apply(ChangePacketBuilder().Modify("0001", "00002", "00003", "00000001").Build()).AsInt(), 1);
    EXPECT_EQ(Assigned("0001", "00000001"), S{"00003"});
    // A row posted without a change of key changes nothing.
    const std::string before = Snapshot();
    Apply(ChangePacketBuilder().Modify("0001", "00003", "00003", "00000001").Build());
    EXPECT_EQ(Snapshot(), before);
}

TEST_P(ServerTest, ApCoServClieRefusesAPacketNamingAnUnknownClientOrServiceWhole)
{
    const std::string before = Snapshot();
    // Refused for good, naming the entry at fault (0: the packet as a whole).
    auto refused = [&](const Variant& packet, const char* part, unsigned entry) {
        try {
            Apply(packet);
            ADD_FAILURE() << "applied a packet naming " << part;
        } catch (const ERemoteRefusal& e) {
            std::string m = e.what();
            EXPECT_NE(m.find(part), std::string::npos) << m;
            EXPECT_NE(m.find("nothing was stored"), std::string::npos) << m;
            EXPECT_EQ(e.Entry(), entry) << m;
        }
        EXPECT_EQ(Snapshot(), before);
    };
    refused(ChangePacketBuilder().Insert("0001", "00001", "00000001").Insert("0001", "00009", "00000001").Build(),
            "00009", 2);
    refused(ChangePacketBuilder().Insert("0001", "00001", "00000001").Insert("0001", "00001", "00000077").Build(),
            "00000077", 2);
    refused(ChangePacketBuilder().Delete("0001", "00002", "00000001").Insert("0009", "00001", "00000001").Build(),
            "0009", 2);
    // A deletion that removes nothing still proves its client and service.
    refused(ChangePacketBuilder().Delete("0001", "00009", "00000001").Build(), "00009", 1);
    refused(ChangePacketBuilder().Delete("0001", "00001", "00000077").Build(), "00000077", 1);
    // Service 00001 exists in branch 0002 but client 00000002 does not.
    refused(ChangePacketBuilder().Insert("0002", "00001", "00000002").Build(), "00000002", 1);

    ChangePacketBuilder noKey;
    noKey.Packet().fields[contractrows::AssignedIndex("CDCLIENTE")].name = "CLIENTE";
    noKey.Insert("0001", "00001", "00000001");
    refused(noKey.Build(), "CDCLIENTE", 0);

    ChangePacketBuilder nullKey;
    nullKey.Insert("0001", "00001", "00000001");
    nullKey.Packet().rows[0].values[contractrows::AssignedIndex("CDSERVFILI")] = std::nullopt;
    refused(nullKey.Build(), "CDSERVFILI", 1);

    ChangePacketBuilder wide;
    wide.Packet().fields[contractrows::AssignedIndex("CDFILIAL")].size = 10;
    wide.Insert("0001 ", "00001", "00000001");
    refused(wide.Build(), "CDFILIAL", 1);

    std::vector<RemoteArg> text = {RemoteArg::ByRef(Variant("not a packet"))};
    EXPECT_THROW(Client().Call("ApCoServClie", text), ERemoteRefusal);
    EXPECT_EQ(Snapshot(), before);
}

TEST_P(ServerTest, ManyClientsChangingOneClientAtOnceLoseNothing)
{
    Server();
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            try {
                auto c = Connect();
                for (int round = 0; round < 5; ++round) {
                    const char* code = (t + round) % 3 == 0 ? "00001" : ((t + round) % 3 == 1 ? "00003" : "00002");
                    std::vector<RemoteArg> args = {
                        RemoteArg::ByRef(ChangePacketBuilder().Insert("0001", code, "00000003").Build())};
                    c->Call("ApCoServClie", args);
                    std::vector<RemoteArg> read = {RemoteArg::Text("0001"), RemoteArg::Text("00000003")};
                    c->Call("GetServClie", read);
                }
            } catch (const std::exception&) {
                ++failures;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(Assigned("0001", "00000003"), (S{"00001", "00002", "00003"}));
}

INSTANTIATE_TEST_SUITE_P(Databases, ServerTest, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return info.param; });

TEST(RdmServClienteWatch, OnlyTheWatchingCallWithReadableTextsNamesTheView)
{
    RdmServCliente module(nullptr, Caller{}, nullptr);
    using Key = RemoteModule::ViewKey;
    struct Case {
        const char* method;
        std::vector<Variant> args;
        std::optional<Key> watched;
    };
    const Case cases[] = {
        {"GetServClie", {Variant("0001"), Variant("00000001")}, Key{"0001", "00000001"}},
        {"getservclie", {Variant("Fil\xE9"), Variant("7")}, Key{"Fil\xC3\xA9", "7"}},
        {"GetServico", {Variant("0001"), Variant("00000001")}, std::nullopt},
        {"GetServClie", {Variant("0001")}, std::nullopt},
        {"GetServClie", {Variant(1), Variant("00000001")}, std::nullopt},
    };
    for (const Case& c : cases) {
        Protocol::Call call;
        call.descriptor = CallDescriptor(c.method, std::vector<TArgType>(c.args.size(), TArgType::atTextByValue));
        call.args = c.args;
        EXPECT_EQ(module.Watched(call), c.watched) << c.method;
    }
}
