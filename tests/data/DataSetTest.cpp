// States, fields, navigation and editing of a data set, and the order of the
// notifications that the screen's handlers rely on.
#include "DataFixture.h"

#include "platform/core/Exception.h"

#include <gtest/gtest.h>

using namespace datatest;
using Events = std::vector<std::string>;

// ---- fields

TEST(DataSetFields, PersistentFieldsKeepTheirOrderAndAreFoundWithoutRegardToCase)
{
    ServClieForm f;
    const auto& declared = contractrows::Assigned().fields;
    ASSERT_EQ(f.cds->FieldCount(), AssignedFieldCount());
    for (size_t i = 0; i < declared.size(); ++i) {
        EXPECT_EQ(f.cds->Fields()[i]->FieldName(), declared[i].name);
    }
    EXPECT_EQ(f.cds->FieldByName("cdservfili")->Index(), static_cast<int>(AssignedIndex("CDSERVFILI")));
    EXPECT_EQ(f.cds->FindField("NOPE"), nullptr);
    try {
        f.cds->FieldByName("CDSERVICO");
        FAIL() << "an unknown field was found";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "cdsServClie: Field 'CDSERVICO' not found");
    }
}

TEST(DataSetFields, DisplayNameFallsBackToTheFieldName)
{
    ServClieForm f;
    TField* code = f.cds->FieldByName("CDSERVFILI");
    EXPECT_EQ(code->DisplayName(), Cp1252::FromUtf8("Código"));
    code->SetDisplayLabel("");
    EXPECT_EQ(code->DisplayName(), "CDSERVFILI");
}

TEST(DataSetFields, AFieldCannotJoinAnOpenDataSet)
{
    ServClieForm f(ThreeServices());
    TStringField extra(nullptr);
    extra.SetFieldName("EXTRA");
    EXPECT_THROW(extra.SetDataSet(f.cds), EDatabaseError);
    EXPECT_EQ(extra.DataSet(), nullptr);
    EXPECT_EQ(f.cds->FieldCount(), AssignedFieldCount());
}

TEST(DataSetFields, WritingOutsideEditOrInsertIsRefused)
{
    ServClieForm f(ThreeServices());
    try {
        f.cds->FieldByName("NMSERVICO")->SetAsString("Outro");
        FAIL() << "a value was written in browse state";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find("not in edit or insert mode"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Lavagem");
}

TEST(DataSetFields, TextLongerThanTheFieldIsRefusedNamingTheField)
{
    ServClieForm f(ThreeServices());
    f.cds->Edit();
    TField* name = f.cds->FieldByName("NMSERVICO");
    const std::string forty(40, 'x');
    name->SetAsString(forty);
    try {
        name->SetAsString(forty + "y");
        FAIL() << "a 41-character text went into a 40-character field";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find("NMSERVICO"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(name->AsString(), forty); // neither cut nor replaced
    f.cds->Post();
    EXPECT_EQ(name->AsString(), forty);
}

TEST(DataSetFields, NullAndEmptyTextAreTold)
{
    ServClieForm f(ServClie({AssignedRow("0001", "00010", std::nullopt, "")}));
    EXPECT_TRUE(f.cds->FieldByName("CDCLIENTE")->IsNull());
    EXPECT_TRUE(f.cds->FieldByName("CDCLIENTE")->Value().IsNull());
    EXPECT_EQ(f.cds->FieldByName("CDCLIENTE")->AsString(), "");
    EXPECT_FALSE(f.cds->FieldByName("NMSERVICO")->IsNull());
    f.cds->Edit();
    f.cds->FieldByName("NMSERVICO")->Clear();
    EXPECT_TRUE(f.cds->FieldByName("NMSERVICO")->IsNull());
}

TEST(DataSetFields, DataSetDestroyedFirstLeavesFieldsAndSourcesDetached)
{
    TComponent form(nullptr);
    auto* cds = new TClientDataSet(&form);
    TStringField field(nullptr);
    field.SetFieldName("A");
    field.SetDataSet(cds);
    TDataSource dts(nullptr);
    dts.SetDataSet(cds);
    delete cds;
    EXPECT_EQ(field.DataSet(), nullptr);
    EXPECT_EQ(dts.DataSet(), nullptr);
    EXPECT_EQ(dts.State(), TDataSetState::dsInactive);
    EXPECT_THROW(field.AsString(), EDatabaseError);
}

// ---- navigation

TEST(DataSetNavigation, FirstNextUntilEofVisitsEveryRowOnce)
{
    ServClieForm f(ThreeServices());
    std::vector<std::string> seen;
    for (f.cds->First(); !f.cds->Eof(); f.cds->Next()) {
        seen.push_back(f.Code());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"00010", "00020", "00030"}));
    EXPECT_EQ(f.cds->RecNo(), 2); // stays on the last row
}

TEST(DataSetNavigation, BofEofAndRecNoFollowTheCursor)
{
    ServClieForm f;
    EXPECT_EQ(f.cds->RecNo(), -1);
    EXPECT_THROW(f.cds->First(), EDatabaseError); // closed
    f.cds->SetData(ThreeServices());
    EXPECT_TRUE(f.cds->Bof());
    EXPECT_FALSE(f.cds->Eof());
    EXPECT_EQ(f.cds->RecNo(), 0);
    f.cds->Last();
    EXPECT_TRUE(f.cds->Eof());
    EXPECT_EQ(f.Code(), "00030");
    f.cds->Prior();
    EXPECT_FALSE(f.cds->Eof());
    EXPECT_FALSE(f.cds->Bof());
    EXPECT_EQ(f.cds->RecNo(), 1);
    f.cds->Prior();
    f.cds->Prior();
    EXPECT_TRUE(f.cds->Bof());
    EXPECT_EQ(f.cds->RecNo(), 0);
    f.cds->SetRecNo(2);
    EXPECT_EQ(f.Code(), "00030");
    EXPECT_THROW(f.cds->SetRecNo(3), EDatabaseError);
}

TEST(DataSetNavigation, AnEmptyDataSetIsAtBothEnds)
{
    ServClieForm f(ServClie({}));
    EXPECT_TRUE(f.cds->Active());
    EXPECT_TRUE(f.cds->IsEmpty());
    EXPECT_TRUE(f.cds->Bof());
    EXPECT_TRUE(f.cds->Eof());
    EXPECT_EQ(f.cds->RecNo(), -1);
    EXPECT_EQ(f.cds->FieldByName("CDSERVFILI")->AsString(), "");
    EXPECT_THROW(f.cds->Delete(), EDatabaseError);
}

TEST(DataSetNavigation, MovingWhileEditingPostsTheRowFirst)
{
    ServClieForm f(ThreeServices());
    int posts = 0;
    f.cds->SetAfterPost([&](TDataSet*) { ++posts; });
    f.cds->Edit();
    f.cds->FieldByName("NMSERVICO")->SetAsString("Lavagem completa");
    f.cds->Next();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(f.cds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(f.Code(), "00020");
    f.cds->First();
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Lavagem completa");
}

// ---- editing

TEST(DataSetEditing, InsertGoesBeforeTheCurrentRowAndAppendAtTheEnd)
{
    ServClieForm f(ThreeServices());
    f.cds->SetRecNo(1);
    f.InsertService("00015", "Encerar");
    EXPECT_EQ(f.cds->RecNo(), 1);
    EXPECT_EQ(f.Code(), "00015");
    f.cds->First();
    f.cds->Append();
    EXPECT_EQ(f.cds->RecNo(), -1); // the new row has no number yet
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00099");
    f.cds->Post();
    EXPECT_EQ(f.cds->RecNo(), 4);
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00010", "00015", "00020", "00030", "00099"}));
}

TEST(DataSetEditing, CancelDropsTheRowBeingInsertedOrTheChangesBeingMade)
{
    ServClieForm f(ThreeServices());
    f.cds->Insert();
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00099");
    f.cds->Cancel();
    EXPECT_EQ(f.cds->RecordCount(), 3);
    EXPECT_EQ(f.Code(), "00010");
    f.cds->Edit();
    f.cds->FieldByName("NMSERVICO")->SetAsString("Outro");
    f.cds->Cancel();
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Lavagem");
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
}

TEST(DataSetEditing, DeleteMovesToTheNextRowOrTheNewLast)
{
    ServClieForm f(ThreeServices());
    f.cds->SetRecNo(1);
    f.cds->Delete();
    EXPECT_EQ(f.Code(), "00030");
    f.cds->Delete();
    EXPECT_EQ(f.Code(), "00010");
    f.cds->Delete();
    EXPECT_TRUE(f.cds->IsEmpty());
    EXPECT_TRUE(f.cds->Eof());
}

TEST(DataSetEditing, EditOnAnEmptyDataSetBeginsAnInsert)
{
    ServClieForm f(ServClie({}));
    f.cds->Edit();
    EXPECT_EQ(f.cds->State(), TDataSetState::dsInsert);
}

TEST(DataSetEditing, RequiredFieldMustHaveAValueToPost)
{
    ServClieForm f;
    f.cds->FieldByName("CDSERVFILI")->SetRequired(true);
    f.cds->SetData(ServClie({}));
    f.cds->Insert();
    EXPECT_THROW(f.cds->Post(), EDatabaseError);
    EXPECT_EQ(f.cds->State(), TDataSetState::dsInsert);
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00010");
    f.cds->Post();
    EXPECT_EQ(f.cds->RecordCount(), 1);
}

TEST(DataSetEditing, PostWithNothingBeingEditedDoesNothing)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->Post();
    f.cds->Cancel();
    EXPECT_TRUE(r.Take().empty());
    EXPECT_TRUE(r.TakeLinks().empty());
}

TEST(DataSetEditing, NothingCanBeChangedOnAClosedDataSet)
{
    ServClieForm f;
    EXPECT_THROW(f.cds->Insert(), EDatabaseError);
    EXPECT_THROW(f.cds->Edit(), EDatabaseError);
    EXPECT_THROW(f.cds->FieldByName("CDFILIAL")->SetAsString("0001"), EDatabaseError);
}

// ---- the new-record event

TEST(DataSetNewRecord, CancelFromInsideTheNewRecordEventEndsTheInsertWithNoRow)
{
    ServClieForm f(ThreeServices());
    f.cds->SetRecNo(2);
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->SetOnNewRecord([&](TDataSet* DataSet) {
        r.events.push_back("newRecord");
        DataSet->Cancel();
    });
    f.cds->Insert();
    EXPECT_EQ(f.cds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(f.cds->RecordCount(), 3);
    EXPECT_EQ(f.cds->RecNo(), 2);
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(r.Take(), (Events{"state:insert", "data", "newRecord", "state:browse", "data", "afterCancel"}));
    // The data set is usable at once.
    f.cds->SetOnNewRecord(nullptr);
    f.InsertService("00040", "Lavagem a seco");
    EXPECT_EQ(f.cds->RecordCount(), 4);
}

TEST(DataSetNewRecord, TheNewRecordEventFillsFieldsOfTheNewRow)
{
    ServClieForm f(ServClie({}));
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->SetOnNewRecord([&](TDataSet* DataSet) { DataSet->FieldByName("CDFILIAL")->SetAsString("0002"); });
    f.cds->Insert();
    EXPECT_EQ(f.cds->FieldByName("CDFILIAL")->AsString(), "0002");
    EXPECT_EQ(r.Take(), (Events{"state:insert", "data", "data:CDFILIAL"}));
}

TEST(DataSetNewRecord, AFailingNewRecordEventLeavesNoHalfMadeRow)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->SetOnNewRecord([](TDataSet*) { throw EDatabaseError("no"); });
    EXPECT_THROW(f.cds->Insert(), EDatabaseError);
    EXPECT_EQ(f.cds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(f.cds->RecordCount(), 3);
    EXPECT_EQ(r.Take(), (Events{"state:insert", "data", "state:browse", "data"})); // no after-cancel
}

// ---- order of notifications

TEST(DataSetNotifications, EveryEditBeginsAndEndsWithAStateChangeThenADataChange)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);

    f.cds->Edit();
    EXPECT_EQ(r.Take(), (Events{"state:edit", "data"}));
    f.cds->FieldByName("NMSERVICO")->SetAsString("Outro");
    EXPECT_EQ(r.Take(), (Events{"data:NMSERVICO"}));
    f.cds->Post();
    EXPECT_EQ(r.Take(), (Events{"state:browse", "data", "afterPost"}));

    f.cds->Edit();
    f.cds->Cancel();
    EXPECT_EQ(r.Take(), (Events{"state:edit", "data", "state:browse", "data", "afterCancel"}));

    f.cds->Insert();
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00005");
    f.cds->Post();
    EXPECT_EQ(r.Take(),
              (Events{"state:insert", "data", "newRecord", "data:CDSERVFILI", "state:browse", "data", "afterPost"}));

    f.cds->Delete();
    EXPECT_EQ(r.Take(), (Events{"data", "afterDelete", "afterScroll"}));

    f.cds->Edit();
    f.cds->Delete(); // drops the edit first
    EXPECT_EQ(r.Take(), (Events{"state:edit", "data", "state:browse", "data", "afterDelete", "afterScroll"}));
}

TEST(DataSetNotifications, MovingTheCurrentRowIsADataChange)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->Next();
    EXPECT_EQ(r.Take(), (Events{"data", "afterScroll"}));
    EXPECT_EQ(r.TakeLinks(), (Events{"link:scroll"}));
    f.cds->First();
    f.cds->First(); // already there: nothing moves
    EXPECT_EQ(r.Take(), (Events{"data", "afterScroll"}));
    f.cds->Last();
    f.cds->Next(); // past the end: nothing moves
    EXPECT_EQ(r.Take(), (Events{"data", "afterScroll"}));
}

TEST(DataSetNotifications, AFailingAfterPostLeavesTheRowPosted)
{
    ServClieForm f(ThreeServices());
    f.cds->SetAfterPost([](TDataSet*) { throw ERemoteError("server down"); });
    f.cds->Insert();
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00005");
    EXPECT_THROW(f.cds->Post(), ERemoteError);
    EXPECT_EQ(f.cds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(f.cds->RecordCount(), 4);
    EXPECT_EQ(f.cds->GetChangeCount(), 1);
}

TEST(DataSetNotifications, CloseTellsTheStateOnly)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->Edit();
    r.Take();
    f.cds->Close();
    EXPECT_EQ(r.Take(), (Events{"state:inactive"})); // the edit is dropped without after-cancel
    EXPECT_FALSE(f.cds->Active());
    EXPECT_EQ(f.cds->RecordCount(), 0);
}

// ---- suspended controls

TEST(DataSetControls, SuspendedControlsHearNothingUntilOneRefreshAtTheEnd)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);

    f.cds->DisableControls();
    f.cds->DisableControls(); // nested, as a move command inside a suspended loop
    EXPECT_TRUE(f.cds->ControlsDisabled());
    for (f.cds->First(); !f.cds->Eof(); f.cds->Next()) {
    }
    f.InsertService("00040", "Lavagem a seco");
    f.cds->Delete();
    EXPECT_TRUE(r.TakeLinks().empty());
    // The handlers kept running: the screen watches states during a move.
    Events events = r.Take();
    EXPECT_NE(std::find(events.begin(), events.end(), "state:insert"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "afterPost"), events.end());

    f.cds->EnableControls();
    EXPECT_TRUE(f.cds->ControlsDisabled());
    EXPECT_TRUE(r.TakeLinks().empty());
    f.cds->EnableControls();
    EXPECT_FALSE(f.cds->ControlsDisabled());
    EXPECT_EQ(r.TakeLinks(), (Events{"link:refresh"}));

    f.cds->EnableControls(); // one too many: ignored
    EXPECT_FALSE(f.cds->ControlsDisabled());
    EXPECT_TRUE(r.TakeLinks().empty());
    f.cds->First();
    EXPECT_EQ(r.TakeLinks(), (Events{"link:scroll"}));
}

TEST(DataSetControls, ControlsFollowEveryChangeWhileNotSuspended)
{
    ServClieForm f;
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->SetData(ThreeServices());
    EXPECT_EQ(r.TakeLinks(), (Events{"link:state", "link:rows"}));
    f.EditPost("NMSERVICO", "Outro");
    EXPECT_EQ(r.TakeLinks(), (Events{"link:state", "link:record", "link:record", "link:state", "link:rows"}));

    // A row added or removed alone is named, so that a view can move that row only.
    f.cds->First();
    f.cds->Next();
    f.cds->Insert();
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00099");
    r.TakeLinks();
    f.cds->Post();
    EXPECT_EQ(r.TakeLinks(), (Events{"link:inserted:1", "link:state", "link:rows"}));
    f.cds->Last();
    r.TakeLinks();
    f.cds->Delete();
    EXPECT_EQ(r.TakeLinks(), (Events{"link:deleted:3", "link:rows"}));
}
