#include "TestComponents.h"

#include "platform/core/Exception.h"
#include "platform/forms/HandlerTable.h"

#include <gtest/gtest.h>

TEST(HandlerTable, DerivedTableTakesTheNameFirstThenChains)
{
    const HandlerTable& derived = TTestDerivedForm::Handlers();
    ASSERT_EQ(derived.Base(), &TTestForm::Handlers());
    const HandlerTable::Handler* exit = derived.Find("EditExit");
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit, &derived.OwnHandlers().at(0)) << "the derived class's own EditExit";
    EXPECT_EQ(derived.Find("FormCreate"), TTestForm::Handlers().Find("FormCreate")) << "found in the base";
    EXPECT_EQ(derived.Find("formcreate"), derived.Find("FormCreate")) << "names ignore case";
    EXPECT_EQ(derived.Find("ButtonClick"), &derived.OwnHandlers().at(1));
    EXPECT_EQ(TTestForm::Handlers().Find("ButtonClick"), nullptr) << "a base does not see its descendants";
    EXPECT_EQ(derived.Find("Nothing"), nullptr);
}

TEST(HandlerTable, SignaturesAreTheEventTypes)
{
    const HandlerTable& t = TTestForm::Handlers();
    EXPECT_EQ(t.Find("FormCreate")->eventType, std::type_index(typeid(TNotifyEvent)));
    EXPECT_EQ(t.Find("FormClose")->eventType, std::type_index(typeid(TCloseEvent)));
    EXPECT_EQ(t.Find("EditKeyPress")->eventType, std::type_index(typeid(TKeyPressEvent)));
}

TEST(HandlerTable, BindingCallsTheMemberOnTheGivenForm)
{
    TTestDerivedForm form;
    form.SetName("frm");
    std::any bound = TTestDerivedForm::Handlers().Find("EditExit")->bind(&form);
    auto handler = std::any_cast<TNotifyEvent>(bound);
    handler(&form);
    EXPECT_EQ(form.Calls, (std::vector<std::string>{"TTestDerivedForm.EditExit(frm)", "TTestForm.EditExit(frm)"}));

    TTestForm notDerived;
    EXPECT_THROW(TTestDerivedForm::Handlers().Find("ButtonClick")->bind(&notDerived), EInvalidOperation);
}

TEST(HandlerTable, ANameTwiceInOneTableIsRefused)
{
    HandlerTable table;
    table.Add("FormCreate", &TTestForm::FormCreate);
    EXPECT_THROW(table.Add("formcreate", &TTestForm::EditExit), EInvalidOperation);
    HandlerTable derived(&table);
    EXPECT_NO_THROW(derived.Add("FormCreate", &TTestForm::EditExit)) << "a derived table may reuse the name";
}
