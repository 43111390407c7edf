// The client data set keeps the base content (the rows as last loaded or
// merged) as row ids and takes the values from the rows and the change log
// when CancelUpdates brings it back. These cases check that what comes back
// is exactly the content of the last merge, whatever happened since.
#include "data/DataFixture.h"

using datatest::AssignedIndex;
using datatest::AssignedRow;
using datatest::ServClieForm;
using datatest::ThreeServices;

namespace {

std::vector<std::string> Names(TClientDataSet* cds)
{
    std::vector<std::string> names;
    for (const auto& row : cds->Data().rows) {
        names.push_back(row.values[AssignedIndex("NMSERVICO")].value_or("(null)"));
    }
    return names;
}

void Rename(TClientDataSet* cds, const std::string& name)
{
    cds->Edit();
    cds->FieldByName("NMSERVICO")->SetAsString(name);
    cds->Post();
}

} // namespace

TEST(ClientDataSetBase, CancelAfterManyMergesBringsBackTheLastMerge)
{
    ServClieForm f(ThreeServices());
    // The move-all pattern: one insert, one merge, many times over.
    for (int i = 0; i < 50; ++i) {
        const std::string code = std::to_string(10000 + i);
        f.cds->Last();
        f.InsertService(code, "Novo");
        f.cds->MergeChangeLog();
    }
    ASSERT_EQ(f.cds->RecordCount(), 53);
    const auto merged = f.cds->Data();

    f.GoTo("00020");
    Rename(f.cds, "Pintura nova");
    f.cds->Delete();
    f.GoTo("10010");
    Rename(f.cds, "Outro");
    f.InsertService("20000", "Inserido");
    f.GoTo("00010");
    f.cds->Delete();
    EXPECT_EQ(f.cds->GetChangeCount(), 4);

    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->Data(), merged);
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
}

TEST(ClientDataSetBase, ADeletedRowComesBackInItsPlaceWithItsMergedValues)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00020");
    Rename(f.cds, "Pintura fosca");
    f.cds->MergeChangeLog();

    f.GoTo("00020");
    Rename(f.cds, "Pintura brilhante");
    f.cds->Delete();
    f.cds->CancelUpdates();

    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00010", "00020", "00030"}));
    EXPECT_EQ(Names(f.cds), (std::vector<std::string>{"Lavagem", "Pintura fosca", "Polimento"}));
}

TEST(ClientDataSetBase, AnEditUndoneByHandIsNoChangeAndStaysAsItIs)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00030");
    Rename(f.cds, "Polimento fino");
    Rename(f.cds, "Polimento");
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    f.InsertService("00040", "Enceramento");
    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->Data(), ThreeServices());
}

TEST(ClientDataSetBase, UnloggedChangesBecomeTheContentThatCancelBringsBack)
{
    ServClieForm f(ThreeServices());
    f.cds->SetLogChanges(false);
    f.GoTo("00020");
    f.InsertService("00015", "Secagem"); // goes before the current row
    f.GoTo("00030");
    Rename(f.cds, "Polimento fino");
    f.GoTo("00010");
    f.cds->Delete();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    f.cds->SetLogChanges(true);

    f.GoTo("00020");
    f.cds->Delete();
    f.InsertService("00050", "Revisão");
    f.cds->CancelUpdates();

    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00015", "00020", "00030"}));
    EXPECT_EQ(Names(f.cds), (std::vector<std::string>{"Secagem", "Pintura", "Polimento fino"}));
}

TEST(ClientDataSetBase, AReloadReplacesTheBaseContent)
{
    ServClieForm f(ThreeServices());
    f.InsertService("00040", "Enceramento");
    auto reloaded = datatest::ServClie({AssignedRow("0002", "00090", "C9", "Vistoria")});
    f.cds->SetData(reloaded);
    f.cds->Delete();
    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->Data(), reloaded);
}
