// Loading whole packets into a client data set, and refusing bad ones
// without touching what the data set held.
#include "DataFixture.h"

#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

using namespace datatest;
using Events = std::vector<std::string>;

TEST(ClientDataSetLoad, ReplacesEveryRowOpensAndGoesToTheFirstRow)
{
    ServClieForm f;
    EXPECT_FALSE(f.cds->Active());
    f.cds->SetData(ThreeServices());
    EXPECT_EQ(f.cds->State(), TDataSetState::dsBrowse);
    f.cds->Last();
    f.cds->SetData(ServClie({AssignedRow("0002", "00077", "C9", "Alinhamento")}));
    EXPECT_EQ(f.cds->RecordCount(), 1);
    EXPECT_EQ(f.cds->RecNo(), 0);
    EXPECT_EQ(f.Code(), "00077");
    EXPECT_EQ(f.cds->FieldByName("CDCLIENTE")->AsString(), "C9");
}

TEST(ClientDataSetLoad, MatchesPacketFieldsByNameWhateverTheirOrderOrCase)
{
    ServClieForm f;
    const auto& declared = contractrows::Assigned().fields;
    const auto values = AssignedRow("0001", "00010", "C1", "Lavagem");
    // A field the data set lacks, then the declared ones backwards, every
    // other one in lower case.
    DataPacket p;
    p.fields = {TextField("EXTRA", 10)};
    PacketRow row{TUpdateStatus::usUnmodified, {"x"}, {}};
    for (size_t i = declared.size(); i-- > 0;) {
        std::string name = declared[i].name;
        if (i % 2 == 0) {
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        }
        p.fields.push_back(PacketField{name, declared[i].type, declared[i].size, false});
        row.values.push_back(values[i]);
    }
    p.rows.push_back(row);
    f.cds->SetData(Variant(p));
    EXPECT_EQ(f.cds->FieldCount(), AssignedFieldCount()); // the extra packet field is not taken
    EXPECT_EQ(f.cds->Data().rows[0].values, values);
}

TEST(ClientDataSetLoad, ANarrowerPacketFieldIsAccepted)
{
    ServClieForm f;
    DataPacket p = ThreeServices();
    p.fields[3].size = 30;
    f.cds->SetData(p);
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->Size(), 40); // the data set keeps its own width
}

TEST(ClientDataSetLoad, NotifiesStateThenRowsThenScroll)
{
    ServClieForm f;
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->SetData(ThreeServices());
    EXPECT_EQ(r.Take(), (Events{"state:browse", "data", "afterScroll"}));
    f.cds->SetData(ThreeServices()); // already open: no state change
    EXPECT_EQ(r.Take(), (Events{"data", "afterScroll"}));
}

TEST(ClientDataSetLoad, DropsARowBeingEditedWithoutAfterCancel)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->Edit();
    f.cds->FieldByName("NMSERVICO")->SetAsString("Outro");
    r.Take();
    f.cds->SetData(ThreeServices());
    EXPECT_EQ(r.Take(), (Events{"state:browse", "data", "afterScroll"}));
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Lavagem");
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
}

TEST(ClientDataSetLoad, WithoutPersistentFieldsTakesThePacketsFields)
{
    TComponent form(nullptr);
    auto* cds = new TClientDataSet(&form);
    EXPECT_THROW(cds->Open(), EDatabaseError); // neither fields nor data
    DataPacket p;
    p.fields = {TextField("CDSERVFILI", 5), PacketField{"QTD", TFieldType::ftInteger, 0, true}};
    p.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, Row({"00010", "12"}), {}});
    cds->SetData(p);
    ASSERT_EQ(cds->FieldCount(), 2);
    EXPECT_EQ(cds->Fields()[0]->Size(), 5);
    EXPECT_EQ(cds->Fields()[1]->DataType(), TFieldType::ftInteger);
    EXPECT_TRUE(cds->Fields()[1]->Required());
    EXPECT_EQ(cds->FieldByName("QTD")->Value(), Variant(std::int64_t{12}));
    EXPECT_EQ(cds->Data().fields, p.fields);

    // Another packet brings other fields.
    DataPacket q;
    q.fields = {TextField("NMSERVICO", 40)};
    q.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, Row({"Pintura"}), {}});
    cds->SetData(q);
    ASSERT_EQ(cds->FieldCount(), 1);
    EXPECT_EQ(cds->FieldByName("NMSERVICO")->AsString(), "Pintura");
    EXPECT_EQ(cds->FindField("QTD"), nullptr);

    cds->Close(); // the fields came with the data and go with it
    EXPECT_EQ(cds->FieldCount(), 0);
    EXPECT_EQ(form.ComponentCount(), 1);
}

TEST(ClientDataSetLoad, OpenWithPersistentFieldsAndNoPacketGivesAnEmptyDataSet)
{
    ServClieForm f;
    f.cds->Open();
    EXPECT_TRUE(f.cds->Active());
    EXPECT_TRUE(f.cds->IsEmpty());
    f.InsertService("00010", "Lavagem");
    EXPECT_EQ(f.cds->GetChangeCount(), 1);
}

TEST(ClientDataSetLoad, DataGivesTheRowsAsAPlainPacket)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00020");
    f.cds->Delete();
    DataPacket d = f.cds->Data();
    EXPECT_EQ(d.fields, ThreeServices().fields);
    ASSERT_EQ(d.rows.size(), 2u);
    for (const auto& row : d.rows) {
        EXPECT_EQ(row.status, TUpdateStatus::usUnmodified);
    }
    EXPECT_EQ(d.rows[1].values, AssignedRow("0001", "00030", "C1", "Polimento"));
}

// ---- bad packets

struct BadPacket {
    const char* what;
    std::function<void(DataPacket&)> spoil;
    std::string message; // a part of the error's text
};

// Where a field of the assigned services is in a packet of them.
size_t At(const DataPacket& p, const char* field)
{
    return static_cast<size_t>(p.FieldIndex(field));
}

// The refusal of a row with count values.
std::string ValueCount(int row, int count)
{
    return "row " + std::to_string(row) + " has " + std::to_string(count) + " values for " +
           std::to_string(AssignedFieldCount()) + " fields";
}

class ClientDataSetBadPacket : public ::testing::TestWithParam<BadPacket> {};

TEST_P(ClientDataSetBadPacket, IsRefusedAndLeavesTheDataSetAsItWas)
{
    ServClieForm f(ThreeServices());
    f.cds->SetRecNo(1);
    f.InsertService("00040", "Lavagem a seco"); // a pending change
    f.cds->SetRecNo(2);
    const DataPacket rowsBefore = f.cds->Data();
    const DataPacket deltaBefore = *f.cds->GetDelta().AsPacket();

    DataPacket bad = ThreeServices();
    GetParam().spoil(bad);
    Recorder r;
    r.Attach(f.dts, f.cds);
    try {
        f.cds->SetData(bad);
        FAIL() << GetParam().what << " was loaded";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find(GetParam().message), std::string::npos) << e.Message();
    }
    EXPECT_EQ(f.cds->Data(), rowsBefore);
    EXPECT_EQ(f.cds->RecNo(), 2);
    EXPECT_EQ(f.cds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(*f.cds->GetDelta().AsPacket(), deltaBefore);
    EXPECT_EQ(f.cds->FieldCount(), AssignedFieldCount());
    EXPECT_TRUE(r.Take().empty());
    EXPECT_TRUE(r.TakeLinks().empty());
    // The pending change can still be undone.
    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->Data(), ThreeServices());
}

INSTANTIATE_TEST_SUITE_P(
    Packets, ClientDataSetBadPacket,
    ::testing::Values(BadPacket{"a packet without CDCLIENTE",
                                [](DataPacket& p) {
                                    const auto at = static_cast<std::ptrdiff_t>(At(p, "CDCLIENTE"));
                                    p.fields.erase(p.fields.begin() + at);
                                    for (auto& r : p.rows) {
                                        r.values.erase(r.values.begin() + at);
                                    }
                                },
                                "no field 'CDCLIENTE'"},
                      BadPacket{"an integer CDSERVFILI",
                                [](DataPacket& p) { p.fields[At(p, "CDSERVFILI")].type = TFieldType::ftInteger; },
                                "'CDSERVFILI' is of another type"},
                      BadPacket{"a wider NMSERVICO", [](DataPacket& p) { p.fields[At(p, "NMSERVICO")].size = 41; },
                                "'NMSERVICO' is 41 characters"},
                      BadPacket{"an unlimited CDFILIAL", [](DataPacket& p) { p.fields[At(p, "CDFILIAL")].size = 0; },
                                "'CDFILIAL' is of unlimited size"},
                      BadPacket{"a value longer than its field",
                                [](DataPacket& p) { p.rows[2].values[At(p, "CDFILIAL")] = std::string("00001"); },
                                "row 3: Value too long for Field 'CDFILIAL'"},
                      BadPacket{"a row with a missing value", [](DataPacket& p) { p.rows[1].values.pop_back(); },
                                ValueCount(2, AssignedFieldCount() - 1)},
                      BadPacket{"a row with a value too many", [](DataPacket& p) { p.rows[0].values.push_back("x"); },
                                ValueCount(1, AssignedFieldCount() + 1)},
                      BadPacket{"a change entry", [](DataPacket& p) { p.rows[1].status = TUpdateStatus::usDeleted; },
                                "row 2 is a change entry"}),
    [](const ::testing::TestParamInfo<BadPacket>& info) { return "Case" + std::to_string(info.index); });

TEST(ClientDataSetLoad, AValueThatIsNoPacketIsRefused)
{
    ServClieForm f(ThreeServices());
    for (const Variant& v : {Variant::Null(), Variant("texto"), Variant(7)}) {
        EXPECT_THROW(f.cds->SetData(v), EDatabaseError);
        EXPECT_EQ(f.cds->Data(), ThreeServices());
    }
}

TEST(ClientDataSetLoad, WithoutPersistentFieldsBadPacketsAreRefusedToo)
{
    TComponent form(nullptr);
    auto* cds = new TClientDataSet(&form);
    DataPacket twice;
    twice.fields = {TextField("A", 1), TextField("a", 1)};
    EXPECT_THROW(cds->SetData(twice), EDatabaseError);
    DataPacket unnamed;
    unnamed.fields = {TextField("", 1)};
    EXPECT_THROW(cds->SetData(unnamed), EDatabaseError);
    DataPacket tooLong;
    tooLong.fields = {TextField("A", 2)};
    tooLong.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, Row({"abc"}), {}});
    EXPECT_THROW(cds->SetData(tooLong), EDatabaseError);
    DataPacket notANumber;
    notANumber.fields = {PacketField{"N", TFieldType::ftInteger, 0, false}};
    notANumber.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, Row({"12a"}), {}});
    EXPECT_THROW(cds->SetData(notANumber), EDatabaseError);
    EXPECT_FALSE(cds->Active());
    EXPECT_EQ(cds->FieldCount(), 0);
    EXPECT_EQ(form.ComponentCount(), 1); // no field left behind
}
