// The change log of a client data set, as scripts of state transitions: each
// step changes the data set and says what the log and the change packet hold.
#include "DataFixture.h"

#include "platform/core/Exception.h"

#include <gtest/gtest.h>

using namespace datatest;

namespace {

DataPacket Delta(TClientDataSet* cds)
{
    Variant v = cds->GetDelta();
    EXPECT_EQ(v.GetKind(), Variant::Kind::Packet);
    return *v.AsPacket();
}

// What the server received, call by call: Null or the change packet.
struct FakeServer {
    std::vector<Variant> received;
    int failuresLeft = 0;

    // The screen's sending after a post or a delete: Null when nothing is
    // pending, else the delta; the merge comes only after a call that
    // returned.
    void Send(TClientDataSet* cds)
    {
        Variant packet = cds->GetChangeCount() < 1 ? Variant::Null() : cds->GetDelta();
        if (failuresLeft > 0) {
            --failuresLeft;
            throw ESocketError("connection lost");
        }
        received.push_back(packet);
        cds->MergeChangeLog();
    }

    void Bind(TClientDataSet* cds)
    {
        cds->SetAfterPost([this](TDataSet* DataSet) { Send(static_cast<TClientDataSet*>(DataSet)); });
        cds->SetAfterDelete([this](TDataSet* DataSet) { Send(static_cast<TClientDataSet*>(DataSet)); });
        cds->SetAfterCancel([](TDataSet* DataSet) { static_cast<TClientDataSet*>(DataSet)->CancelUpdates(); });
    }
};

} // namespace

TEST(ChangeLog, InsertLogsOneInsertedRowWithAllItsValues)
{
    ServClieForm f(ThreeServices());
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    f.InsertService("00040", "Lavagem a seco");
    ASSERT_EQ(f.cds->GetChangeCount(), 1);
    DataPacket d = Delta(f.cds);
    EXPECT_EQ(d.fields, ThreeServices().fields);
    ASSERT_EQ(d.rows.size(), 1u);
    EXPECT_EQ(d.rows[0].status, TUpdateStatus::usInserted);
    EXPECT_EQ(d.rows[0].values, AssignedRow("0001", "00040", "C1", "Lavagem a seco"));
    EXPECT_TRUE(d.rows[0].original.empty());
}

TEST(ChangeLog, DeleteLogsTheRowAsLoaded)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00020");
    f.cds->Delete();
    DataPacket d = Delta(f.cds);
    ASSERT_EQ(d.rows.size(), 1u);
    EXPECT_EQ(d.rows[0].status, TUpdateStatus::usDeleted);
    EXPECT_EQ(d.rows[0].values, AssignedRow("0001", "00020", "C1", "Pintura"));
}

TEST(ChangeLog, ModifyKeepsOriginalAndCurrentValuesAndUndoingTheEditUnlogsIt)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00030");
    f.EditPost("NMSERVICO", "Polimento fino");
    DataPacket d = Delta(f.cds);
    ASSERT_EQ(d.rows.size(), 1u);
    EXPECT_EQ(d.rows[0].status, TUpdateStatus::usModified);
    EXPECT_EQ(d.rows[0].original, AssignedRow("0001", "00030", "C1", "Polimento"));
    EXPECT_EQ(d.rows[0].values, AssignedRow("0001", "00030", "C1", "Polimento fino"));

    f.EditPost("NMSERVICO", "Polimento extra");
    ASSERT_EQ(f.cds->GetChangeCount(), 1); // still one entry for the row
    EXPECT_EQ(Delta(f.cds).rows[0].original, AssignedRow("0001", "00030", "C1", "Polimento"));

    f.EditPost("NMSERVICO", "Polimento");
    EXPECT_EQ(f.cds->GetChangeCount(), 0); // back as loaded: nothing to send
}

TEST(ChangeLog, PostingAnEditThatChangedNothingLogsNothing)
{
    ServClieForm f(ThreeServices());
    FakeServer server;
    server.Bind(f.cds);
    // What the grid does: a key starts an edit, leaving the grid posts it.
    f.cds->Edit();
    f.cds->Post();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    ASSERT_EQ(server.received.size(), 1u);
    EXPECT_TRUE(server.received[0].IsNull()); // the after-post send still runs, with Null
}

TEST(ChangeLog, InsertThenDeleteBeforeAMergeCancelsOut)
{
    ServClieForm f(ThreeServices());
    f.InsertService("00040", "Lavagem a seco");
    f.EditPost("NMSERVICO", "Lavagem a vapor");
    ASSERT_EQ(f.cds->GetChangeCount(), 1);
    EXPECT_EQ(Delta(f.cds).rows[0].status, TUpdateStatus::usInserted); // an edited insert is still an insert
    EXPECT_EQ(Delta(f.cds).rows[0].values[AssignedIndex("NMSERVICO")], FieldValue("Lavagem a vapor"));
    f.cds->Delete();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_TRUE(Delta(f.cds).rows.empty());
}

TEST(ChangeLog, ModifyThenDeleteBecomesADeletionOfTheOriginalRow)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00010");
    f.EditPost("CDSERVFILI", "00011");
    f.cds->Delete();
    DataPacket d = Delta(f.cds);
    ASSERT_EQ(d.rows.size(), 1u);
    EXPECT_EQ(d.rows[0].status, TUpdateStatus::usDeleted);
    EXPECT_EQ(d.rows[0].values, AssignedRow("0001", "00010", "C1", "Lavagem"));
}

TEST(ChangeLog, EntriesKeepTheOrderOfTheFirstChangeOfTheirRows)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00030");
    f.EditPost("NMSERVICO", "X");
    f.InsertService("00030", "Polimento novo"); // takes the key the first row will give up
    f.GoTo("00010");
    f.cds->Delete();
    f.cds->Last(); // the edited row
    f.cds->Delete();
    DataPacket d = Delta(f.cds);
    ASSERT_EQ(d.rows.size(), 3u);
    EXPECT_EQ(d.rows[0].status, TUpdateStatus::usDeleted); // was the edit: first changed
    EXPECT_EQ(d.rows[0].values[AssignedIndex("NMSERVICO")], FieldValue("Polimento"));
    EXPECT_EQ(d.rows[1].status, TUpdateStatus::usInserted);
    EXPECT_EQ(d.rows[2].status, TUpdateStatus::usDeleted);
    EXPECT_EQ(d.rows[2].values[AssignedIndex("CDSERVFILI")], FieldValue("00010"));
}

TEST(ChangeLog, MergeMakesTheChangesTheBaseAndEmptiesTheLog)
{
    ServClieForm f(ThreeServices());
    f.InsertService("00040", "Lavagem a seco");
    f.GoTo("00010");
    f.cds->Delete();
    const DataPacket after = f.cds->Data();
    f.cds->MergeChangeLog();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(f.cds->Data(), after);
    f.cds->CancelUpdates(); // nothing left to undo
    EXPECT_EQ(f.cds->Data(), after);
    // A later change is logged against the merged content.
    f.GoTo("00040");
    f.cds->Delete();
    ASSERT_EQ(f.cds->GetChangeCount(), 1);
    EXPECT_EQ(Delta(f.cds).rows[0].status, TUpdateStatus::usDeleted);
}

// Three services loaded, then 00020 deleted, 00030 renamed and 00005 inserted
// first: one entry of each kind, in that order.
void DeleteEditAndInsert(ServClieForm& f)
{
    f.cds->SetData(ThreeServices());
    f.GoTo("00020");
    f.cds->Delete();
    f.GoTo("00030");
    f.EditPost("NMSERVICO", "Outro");
    f.cds->First();
    f.InsertService("00005", "Novo");
}

TEST(ChangeLog, CancelUpdatesBringsBackTheLastLoadedContentInItsOrder)
{
    ServClieForm f;
    DeleteEditAndInsert(f);
    f.GoTo("00030");
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(f.cds->Data(), ThreeServices());
    EXPECT_EQ(f.Code(), "00030"); // the current row stays current
    EXPECT_EQ(r.Take(), (std::vector<std::string>{"data"}));
    EXPECT_EQ(r.TakeLinks(), (std::vector<std::string>{"link:rows"}));
}

TEST(ChangeLog, CancelUpdatesMovesOffARowThatGoes)
{
    ServClieForm f(ThreeServices());
    f.cds->Last();
    f.cds->Append();
    f.cds->FieldByName("CDSERVFILI")->SetAsString("00099");
    f.cds->Post();
    ASSERT_EQ(f.cds->RecNo(), 3);
    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->RecordCount(), 3);
    EXPECT_EQ(f.Code(), "00030");
}

TEST(ChangeLog, RevertChangeUndoesOneEntryAndKeepsTheOthers)
{
    ServClieForm f;
    DeleteEditAndInsert(f);
    ASSERT_EQ(f.cds->GetChangeCount(), 3);

    // The deleted row comes back in its place; the edit and the insert stay.
    f.cds->RevertChange(0);
    ASSERT_EQ(f.cds->GetChangeCount(), 2);
    EXPECT_EQ(Delta(f.cds).rows[0].status, TUpdateStatus::usModified);
    EXPECT_EQ(Delta(f.cds).rows[1].status, TUpdateStatus::usInserted);
    EXPECT_EQ(f.cds->RecordCount(), 4);
    f.GoTo("00020");
    EXPECT_EQ(f.cds->RecNo(), 2); // after 00010, which the insert pushed down
    // The insert goes; the edit takes its original values back.
    f.cds->RevertChange(1);
    f.cds->RevertChange(0);
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(f.cds->Data(), ThreeServices());
    EXPECT_THROW(f.cds->RevertChange(0), EDatabaseError);
}

// ---- sending, as the screen does after each post and delete

TEST(ChangeLogSending, EachPostAndDeleteSendsOnePacketAndEmptiesTheLog)
{
    ServClieForm f(ThreeServices());
    FakeServer server;
    server.Bind(f.cds);
    f.InsertService("00040", "Lavagem a seco");
    f.GoTo("00010");
    f.cds->Delete();
    ASSERT_EQ(server.received.size(), 2u);
    const DataPacket& first = *server.received[0].AsPacket();
    ASSERT_EQ(first.rows.size(), 1u);
    EXPECT_EQ(first.rows[0].status, TUpdateStatus::usInserted);
    const DataPacket& second = *server.received[1].AsPacket();
    ASSERT_EQ(second.rows.size(), 1u);
    EXPECT_EQ(second.rows[0].status, TUpdateStatus::usDeleted);
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
}

TEST(ChangeLogSending, AFailedSendIsCarriedAgainByTheNextOne)
{
    ServClieForm f(ThreeServices());
    FakeServer server;
    server.Bind(f.cds);
    server.failuresLeft = 1;

    f.GoTo("00020");
    EXPECT_THROW(f.cds->Delete(), ESocketError);
    EXPECT_EQ(f.cds->RecordCount(), 2); // deleted locally all the same
    EXPECT_EQ(f.cds->GetChangeCount(), 1);
    EXPECT_TRUE(server.received.empty());

    f.InsertService("00040", "Lavagem a seco");
    ASSERT_EQ(server.received.size(), 1u);
    const DataPacket& both = *server.received[0].AsPacket();
    ASSERT_EQ(both.rows.size(), 2u);
    EXPECT_EQ(both.rows[0].status, TUpdateStatus::usDeleted);
    EXPECT_EQ(both.rows[0].values[AssignedIndex("CDSERVFILI")], FieldValue("00020"));
    EXPECT_EQ(both.rows[1].status, TUpdateStatus::usInserted);
    EXPECT_EQ(both.rows[1].values[AssignedIndex("CDSERVFILI")], FieldValue("00040"));
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
}

TEST(ChangeLogSending, AReloadDropsAnUnsentChange)
{
    ServClieForm f(ThreeServices());
    FakeServer server;
    server.Bind(f.cds);
    server.failuresLeft = 1;
    EXPECT_THROW(f.InsertService("00040", "Lavagem a seco"), ESocketError);
    ASSERT_EQ(f.cds->GetChangeCount(), 1);

    f.cds->SetData(ThreeServices()); // the server's state
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(f.cds->RecordCount(), 3);
    f.GoTo("00030");
    f.cds->Delete();
    ASSERT_EQ(server.received.size(), 1u);
    EXPECT_EQ(server.received[0].AsPacket()->rows.size(), 1u); // the dropped insert is not sent
}

TEST(ChangeLogSending, ACancelAfterAFailedSendUndoesTheUnsentChange)
{
    ServClieForm f(ThreeServices());
    FakeServer server;
    server.Bind(f.cds);
    server.failuresLeft = 1;
    f.GoTo("00020");
    EXPECT_THROW(f.cds->Delete(), ESocketError);

    // An insert started from the grid is cancelled by the new-record handler;
    // its after-cancel throws the pending changes away.
    f.cds->SetOnNewRecord([](TDataSet* DataSet) { DataSet->Cancel(); });
    f.cds->Insert();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(f.cds->Data(), ThreeServices()); // the deleted row is back
    EXPECT_TRUE(server.received.empty());
}

// ---- logging switched off

TEST(ChangeLogOff, UnloggedChangesBecomeBaseContentAtOnce)
{
    ServClieForm f(ThreeServices());
    f.GoTo("00010");
    f.cds->Delete(); // logged
    f.cds->SetLogChanges(false);
    f.GoTo("00030");
    f.InsertService("00025", "Encerar"); // goes before 00030
    f.GoTo("00020");
    f.EditPost("NMSERVICO", "Pintura nova");
    EXPECT_EQ(f.cds->GetChangeCount(), 1);
    f.cds->CancelUpdates();
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00010", "00020", "00025", "00030"}));
    f.GoTo("00020");
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Pintura nova");
}

TEST(ChangeLogOff, ARowWithAPendingEntryKeepsBeingLogged)
{
    ServClieForm f(ThreeServices());
    f.InsertService("00040", "Lavagem a seco");
    f.cds->SetLogChanges(false);
    f.EditPost("NMSERVICO", "Lavagem a vapor");
    ASSERT_EQ(f.cds->GetChangeCount(), 1);
    EXPECT_EQ(Delta(f.cds).rows[0].values[AssignedIndex("NMSERVICO")], FieldValue("Lavagem a vapor"));
}

// ---- the log itself

TEST(ChangeLogEntries, CombineAsDocumented)
{
    ChangeLog log;
    const auto a = Row({"a"});
    const auto b = Row({"b"});
    log.RowModified(1, a, a);
    EXPECT_TRUE(log.Empty());
    log.RowModified(1, a, b);
    log.RowInserted(2, a);
    log.RowModified(2, a, b);
    log.RowDeleted(3, a);
    ASSERT_EQ(log.Count(), 3);
    EXPECT_EQ(log.Entries()[0], (ChangeLog::ModifiedRow{1, TUpdateStatus::usModified, b, a}));
    EXPECT_EQ(log.Entries()[1], (ChangeLog::ModifiedRow{2, TUpdateStatus::usInserted, b, {}}));
    EXPECT_EQ(log.Entries()[2], (ChangeLog::ModifiedRow{3, TUpdateStatus::usDeleted, a, {}}));
    log.RowDeleted(1, b);
    EXPECT_EQ(log.Entries()[0], (ChangeLog::ModifiedRow{1, TUpdateStatus::usDeleted, a, {}}));
    log.RowDeleted(2, b);
    EXPECT_EQ(log.Count(), 2);
    EXPECT_FALSE(log.Has(2));
    log.DropColumn(0);
    EXPECT_TRUE(log.Entries()[0].current.empty());
    log.Clear();
    EXPECT_TRUE(log.Delta({}).rows.empty());
}

// A send whose answer was lost leaves its changes in doubt: the receiver may
// hold them. Each step says what the log sends and what a cancel brings back.
TEST(ChangeLog, ChangesInDoubtAreSettledOneByOneAndAnInsertInDoubtIsNotCancelledOut)
{
    ServClieForm f(ThreeServices());
    f.InsertService("00040", "Lavagem a seco");
    f.GoTo("00010");
    f.cds->Delete();
    f.cds->MarkChangesInDoubt();
    f.InsertService("00050", "Cera"); // logged after: not in doubt
    EXPECT_EQ(f.cds->ChangesInDoubt(), 2);
    EXPECT_FALSE(f.cds->ChangeInDoubt(2));
    f.GoTo("00040");
    EXPECT_TRUE(f.cds->RowInDoubt(f.cds->RecNo()));

    // Taken back, the insert in doubt becomes a deletion the receiver needs.
    f.cds->Delete();
    DataPacket d = Delta(f.cds);
    ASSERT_EQ(d.rows.size(), 3u);
    EXPECT_EQ(d.rows[0].status, TUpdateStatus::usDeleted);
    EXPECT_EQ(d.rows[0].values[AssignedIndex("CDSERVFILI")], FieldValue("00040"));
    // ...while an insert never sent still cancels out.
    f.GoTo("00050");
    f.cds->Delete();
    EXPECT_EQ(f.cds->GetChangeCount(), 2);

    // The receiver held the deletion of 00010: merged alone, it stays done
    // when the rest is cancelled; the deletion of 00040 is undone.
    f.cds->MergeChange(1);
    f.cds->ClearChangesInDoubt();
    EXPECT_EQ(f.cds->ChangesInDoubt(), 0);
    f.cds->CancelUpdates();
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00020", "00030", "00040"}));
    EXPECT_THROW(f.cds->MergeChange(0), EDatabaseError);
}

TEST(ChangeLog, AMergedInsertStaysWhenTheRestIsCancelled)
{
    ServClieForm f(ThreeServices());
    f.InsertService("00040", "Lavagem a seco");
    f.GoTo("00020");
    f.cds->Delete();
    f.cds->MergeChange(0);
    ASSERT_EQ(f.cds->GetChangeCount(), 1);
    f.cds->CancelUpdates();
    EXPECT_EQ(f.cds->GetChangeCount(), 0);
    EXPECT_EQ(f.cds->RecordCount(), 4);
    f.GoTo("00040");
    EXPECT_EQ(f.cds->FieldByName("NMSERVICO")->AsString(), "Lavagem a seco");
}

TEST(ChangeLog, WithAnIndexAnInsertGoesInKeyOrderWhereverItBegan)
{
    ServClieForm f(ThreeServices());
    f.cds->SetIndexFieldNames("CDSERVFILI");
    for (const char* code : {"00025", "00005", "00099", "00020"}) {
        f.cds->Last();
        f.InsertService(code, "x");
        EXPECT_EQ(f.Code(), code); // the posted row is current
    }
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00005", "00010", "00020", "00020", "00025", "00030", "00099"}));
}

// Rows another user stored meanwhile come and go without touching the log: a
// waiting change stays waiting, the current row stays current, and a row
// whose own change waits is not taken away.
TEST(ChangeLog, StoredRowsComeAndGoBesideTheWaitingChanges)
{
    ServClieForm f(ThreeServices());
    f.cds->SetIndexFieldNames("CDSERVFILI");
    f.InsertService("00040", "Lavagem a seco"); // waiting
    f.GoTo("00020");
    const DataPacket delta = Delta(f.cds);
    f.cds->InsertStored(Row({"0001", "00015", "C1", "Cera"}));
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00010", "00015", "00020", "00030", "00040"}));
    EXPECT_EQ(f.Code(), "00020");
    EXPECT_TRUE(f.cds->DeleteStored(0));
    EXPECT_FALSE(f.cds->DeleteStored(3)); // 00040's insert waits
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00015", "00020", "00030", "00040"}));
    EXPECT_EQ(Delta(f.cds), delta);
    // What came is base content: a cancel keeps it and drops the waiting row.
    f.cds->CancelUpdates();
    EXPECT_EQ(f.Codes(), (std::vector<std::string>{"00015", "00020", "00030"}));
}
