// Focus moves between controls nested in panels: exit events run from the
// control left outward, enter events inward to the control entered.
#include "platform/controls/TApplication.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TPanel.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FocusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(&Application());
        form->SetName("frmTest");
        header = Make<TPanel>("panHeader", form);
        edtA = Make<TEdit>("edtA", header);
        edtB = Make<TEdit>("edtB", header);
        work = Make<TPanel>("panWork", form);
        inner = Make<TPanel>("panInner", work);
        list = Make<TListBox>("lsbList", inner);
        edtC = Make<TEdit>("edtC", work);
        for (TWinControl* c : std::vector<TWinControl*>{header, edtA, edtB, work, inner, list, edtC}) {
            c->SetOnEnter([this](TObject* s) { log.push_back("enter " + static_cast<TComponent*>(s)->Name()); });
            c->SetOnExit([this](TObject* s) { log.push_back("exit " + static_cast<TComponent*>(s)->Name()); });
        }
        form->SetActiveControl(edtA);
        form->Show();
        log.clear();
    }
    void TearDown() override { delete form; }

    template <class T>
    T* Make(const std::string& name, TWinControl* parent)
    {
        T* c = new T(form);
        c->SetName(name);
        c->SetParent(parent);
        return c;
    }

    TForm* form = nullptr;
    TPanel* header = nullptr;
    TEdit* edtA = nullptr;
    TEdit* edtB = nullptr;
    TPanel* work = nullptr;
    TPanel* inner = nullptr;
    TListBox* list = nullptr;
    TEdit* edtC = nullptr;
    std::vector<std::string> log;
};

TEST_F(FocusTest, ShowFocusesTheFirstControlThroughItsContainers)
{
    TForm other(&Application());
    TPanel panel(&other);
    panel.SetParent(&other);
    TEdit edit(&other);
    edit.SetParent(&panel);
    std::vector<std::string> seen;
    panel.SetOnEnter([&](TObject*) { seen.push_back("panel"); });
    edit.SetOnEnter([&](TObject*) { seen.push_back("edit"); });
    other.SetActiveControl(&edit);
    other.Show();
    EXPECT_EQ(other.ActiveControl(), &edit);
    EXPECT_EQ(seen, (std::vector<std::string>{"panel", "edit"}));
}

TEST_F(FocusTest, NestedExitsInnermostFirstThenEntersOutermostFirst)
{
    list->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"exit edtA", "exit panHeader", "enter panWork", "enter panInner",
                                             "enter lsbList"}));
    log.clear();
    edtB->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"exit lsbList", "exit panInner", "exit panWork", "enter panHeader",
                                             "enter edtB"}));
}

TEST_F(FocusTest, MovingWithinAContainerLeavesItAlone)
{
    edtB->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"exit edtA", "enter edtB"}));
}

TEST_F(FocusTest, TheEnteredControlIsActiveWhileExitHandlersRun)
{
    TWinControl* seenActive = nullptr;
    bool listFocused = false;
    edtA->SetOnExit([&](TObject*) {
        seenActive = form->ActiveControl();
        listFocused = list->Focused();
    });
    list->SetFocus();
    EXPECT_EQ(seenActive, list);
    EXPECT_TRUE(listFocused);
}

TEST_F(FocusTest, AnExitThatPutsTheFocusBackEndsTheMoveAndItsErrorGoesOn)
{
    header->SetOnExit([&](TObject*) {
        log.push_back("exit panHeader");
        edtA->SetFocus();
        throw Exception("Filial deve ser informada.");
    });
    edtB->SetFocus();
    log.clear();
    EXPECT_THROW(list->SetFocus(), Exception);
    // The panel's exit put the focus back into the header: no enter of the work
    // panel ran, and the header was never left.
    EXPECT_EQ(log, (std::vector<std::string>{"exit edtB", "exit panHeader", "enter edtA"}));
    EXPECT_EQ(form->ActiveControl(), edtA);
    log.clear();
    edtB->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"exit edtA", "enter edtB"}));
}

TEST_F(FocusTest, AnExitThatRaisesWithoutMovingStopsTheMoveOnly)
{
    header->SetOnExit([&](TObject*) { throw Exception("server down"); });
    EXPECT_THROW(list->SetFocus(), Exception);
    EXPECT_EQ(form->ActiveControl(), list);
    log.clear();
    // The header counts as left: coming back enters it again.
    edtA->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"enter panHeader", "enter edtA"}));
}

TEST_F(FocusTest, TabFollowsTabOrderAcrossPanelsSkippingWhatCannotTakeFocus)
{
    list->SetTabStop(false);
    edtB->SetEnabled(false);
    form->DispatchKey('\t');
    EXPECT_EQ(form->ActiveControl(), edtC);
    form->DispatchKey('\t');
    EXPECT_EQ(form->ActiveControl(), edtA);
    form->SelectNext(edtA, false);
    EXPECT_EQ(form->ActiveControl(), edtC);

    // Moving the work panel ahead of the header changes the order.
    work->SetTabOrder(0);
    form->SelectNext(edtC, true);
    EXPECT_EQ(form->ActiveControl(), edtA);
    edtC->SetVisible(false);
    form->SelectNext(edtA, true);
    EXPECT_EQ(form->ActiveControl(), edtA);
}

TEST_F(FocusTest, DisabledControlsTakeNeitherFocusNorInput)
{
    edtB->SetEnabled(false);
    edtB->SetFocus();
    EXPECT_EQ(form->ActiveControl(), edtA);
    header->SetEnabled(false);
    EXPECT_FALSE(edtA->CanFocus());
    form->DispatchKey('x');
    EXPECT_EQ(edtA->Text(), "");
}

} // namespace
