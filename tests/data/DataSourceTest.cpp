// The data source between a data set and what follows it: its state, its
// enabled switch and what it reports while switched off.
#include "DataFixture.h"

#include <gtest/gtest.h>

using namespace datatest;
using Events = std::vector<std::string>;

TEST(DataSource, StateIsTheDataSetsWhileEnabledAndInactiveOtherwise)
{
    ServClieForm f;
    EXPECT_EQ(f.dts->State(), TDataSetState::dsInactive);
    f.cds->SetData(ThreeServices());
    EXPECT_EQ(f.dts->State(), TDataSetState::dsBrowse);
    f.cds->Edit();
    EXPECT_EQ(f.dts->State(), TDataSetState::dsEdit);
    f.dts->SetEnabled(false);
    EXPECT_EQ(f.dts->State(), TDataSetState::dsInactive);
    EXPECT_EQ(f.cds->State(), TDataSetState::dsEdit);
    f.dts->SetEnabled(true);
    EXPECT_EQ(f.dts->State(), TDataSetState::dsEdit);
    f.dts->SetDataSet(nullptr);
    EXPECT_EQ(f.dts->State(), TDataSetState::dsInactive);
}

TEST(DataSource, SwitchingItRunsTheStateChangeHandlingBothWays)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.dts->SetEnabled(false);
    EXPECT_EQ(r.Take(), (Events{"state:inactive"}));
    EXPECT_EQ(r.TakeLinks(), (Events{"link:state"}));
    f.dts->SetEnabled(false); // no change, nothing runs
    EXPECT_TRUE(r.Take().empty());
    f.dts->SetEnabled(true);
    EXPECT_EQ(r.Take(), (Events{"state:browse"}));
    EXPECT_EQ(r.TakeLinks(), (Events{"link:state"}));
}

TEST(DataSource, WhileDisabledItReportsNoChangesAndControlsHearNothing)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.dts->SetEnabled(false);
    r.Take();
    r.TakeLinks();
    f.EditPost("NMSERVICO", "Outro");
    f.cds->Next();
    f.cds->SetData(ThreeServices());
    // Only the data set's own events ran.
    EXPECT_EQ(r.Take(), (Events{"afterPost", "afterScroll", "afterScroll"}));
    EXPECT_TRUE(r.TakeLinks().empty());
    // Suspending and resuming the controls sends no refresh through it either.
    f.cds->DisableControls();
    f.cds->EnableControls();
    EXPECT_TRUE(r.TakeLinks().empty());
}

TEST(DataSource, HandlersRunWhileTheControlsAreSuspendedAndTheSwitchStillWorks)
{
    ServClieForm f(ThreeServices());
    Recorder r;
    r.Attach(f.dts, f.cds);
    f.cds->DisableControls();
    f.dts->SetEnabled(false);
    f.dts->SetEnabled(true);
    f.cds->Edit();
    EXPECT_EQ(r.Take(), (Events{"state:inactive", "state:browse", "state:edit", "data"}));
    EXPECT_TRUE(r.TakeLinks().empty());
    f.cds->EnableControls();
    EXPECT_EQ(r.TakeLinks(), (Events{"link:refresh"}));
}

TEST(DataSource, BindingAClosedDataSetRunsNoHandler)
{
    TComponent form(nullptr);
    auto* cds = new TClientDataSet(&form);
    auto* dts = new TDataSource(&form);
    int stateChanges = 0;
    dts->SetOnStateChange([&](TObject*) { ++stateChanges; });
    dts->SetDataSet(cds); // as while a form is being read
    EXPECT_EQ(stateChanges, 0);
    EXPECT_EQ(cds->DataSources(), (std::vector<TDataSource*>{dts}));

    auto* open = new TClientDataSet(&form);
    open->SetData(ThreeServices());
    dts->SetDataSet(open);
    EXPECT_EQ(stateChanges, 1);
    EXPECT_EQ(dts->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(cds->DataSources().empty());
    delete dts;
    EXPECT_TRUE(open->DataSources().empty());
}

TEST(DataSource, EveryBoundSourceIsTold)
{
    ServClieForm f;
    TDataSource second(nullptr);
    second.SetDataSet(f.cds);
    Recorder r1;
    Recorder r2;
    r1.Attach(f.dts, f.cds);
    int changes = 0;
    second.SetOnDataChange([&](TObject* Sender, TField*) {
        EXPECT_EQ(Sender, &second);
        ++changes;
    });
    f.cds->SetData(ThreeServices());
    f.cds->Next();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(r1.Take(), (Events{"state:browse", "data", "afterScroll", "data", "afterScroll"}));
}

TEST(DataSource, AHandlerMayUnbindItsDataSourceWhileBeingTold)
{
    ServClieForm f;
    TDataSource second(nullptr);
    second.SetDataSet(f.cds);
    int secondChanges = 0;
    second.SetOnDataChange([&](TObject*, TField*) { ++secondChanges; });
    f.dts->SetOnDataChange([&](TObject*, TField*) { second.SetDataSet(nullptr); });
    f.cds->SetData(ThreeServices());
    EXPECT_EQ(secondChanges, 0);
    EXPECT_EQ(f.cds->DataSources().size(), 1u);
}
