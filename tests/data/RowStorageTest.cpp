// A data set keeps each row's values packed into one block. These cases check
// that every kind of value comes back as it went in: null apart from empty
// text, texts around the lengths where the packed length needs one more byte,
// long texts, and rows whose column is dropped while the data set is open.
#include "data/DataFixture.h"

#include <memory>

using datatest::ServClieForm;
using datatest::ThreeServices;

namespace {

DataPacket Wide(const std::vector<std::vector<FieldValue>>& rows)
{
    DataPacket p;
    p.fields = {datatest::TextField("A", 32767), datatest::TextField("B", 32767), datatest::TextField("C", 10)};
    for (const auto& r : rows) {
        p.rows.push_back(PacketRow{TUpdateStatus::usUnmodified, r, {}});
    }
    return p;
}

} // namespace

TEST(RowStorage, EveryValueComesBackAsItWent)
{
    std::vector<std::vector<FieldValue>> rows;
    for (size_t length : {0u, 1u, 127u, 128u, 129u, 300u, 16383u, 16384u, 32767u}) {
        rows.push_back({std::string(length, 'x'), std::nullopt, std::string("a\x80\xFF")});
        rows.push_back({std::nullopt, std::string(length, static_cast<char>(0xE7)), std::string()});
    }
    const DataPacket packet = Wide(rows);
    TComponent owner(nullptr);
    auto* cds = new TClientDataSet(&owner);
    cds->SetData(packet);
    EXPECT_EQ(cds->Data(), packet);

    int row = 0;
    for (cds->First(); !cds->Eof(); cds->Next(), ++row) {
        for (int field = 0; field < 3; ++field) {
            EXPECT_EQ(cds->Fields()[static_cast<size_t>(field)]->RawValue(),
                      rows[static_cast<size_t>(row)][static_cast<size_t>(field)])
                << "row " << row << " field " << field;
        }
    }
    EXPECT_EQ(row, static_cast<int>(rows.size()));
}

TEST(RowStorage, AnEditedRowKeepsItsOtherValues)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00020");
    f.cds->Edit();
    f.cds->FieldByName("NMSERVICO")->SetAsString(std::string(40, 'N'));
    f.cds->FieldByName("CDCLIENTE")->Clear();
    f.cds->Post();

    auto rows = f.cds->Data().rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].values, datatest::AssignedRow("0001", "00020", std::nullopt, std::string(40, 'N')));
    EXPECT_EQ(rows[0].values, datatest::AssignedRow("0001", "00010", "C1", "Lavagem"));
    // The change log has the row as it was and as it is.
    auto delta = f.cds->GetDelta().AsPacket();
    ASSERT_EQ(delta->rows.size(), 1u);
    EXPECT_EQ(delta->rows[0].original, datatest::AssignedRow("0001", "00020", "C1", "Pintura"));
}

TEST(RowStorage, AFieldDroppedWhileOpenTakesItsColumnFromEveryRow)
{
    ServClieForm f(ThreeServices());
    delete f.cds->FieldByName("CDCLIENTE");
    ASSERT_EQ(f.cds->FieldCount(), datatest::AssignedFieldCount() - 1);
    f.GoTo("00030");
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Polimento");
    auto rows = f.cds->Data().rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].values,
              datatest::Without(datatest::AssignedRow("0001", "00030", "C1", "Polimento"), "CDCLIENTE"));
}
