#include "TestComponents.h"

#include "platform/core/Exception.h"
#include "platform/forms/FormReader.h"
#include "platform/model/ClassRegistration.h"
#include "platform/model/ClassRegistry.h"

#include <gtest/gtest.h>

namespace {

// A class that a test registers and unregisters itself.
class TScopedThing : public TComponent {
public:
    DECLARE_CLASS_NAME(TScopedThing)
    using TComponent::TComponent;
    int Size() const { return size_; }
    void SetSize(int value) { size_ = value; }

private:
    int size_ = 0;
};

void DeclareSize(ClassBuilder<TScopedThing>& c)
{
    c.RegisterProperty("Size", &TScopedThing::Size, &TScopedThing::SetSize);
}

const char* const kThingForm = "object frm: TTestForm\n  object t: TScopedThing\n    Size = 3\n  end\nend\n";

} // namespace

TEST(ClassRegistry, DerivationFollowsRegisteredParents)
{
    EXPECT_TRUE(ClassRegistry::IsDerivedFrom("TTestEdit", "TTestControl"));
    EXPECT_TRUE(ClassRegistry::IsDerivedFrom("TTestEdit", "TComponent"));
    EXPECT_TRUE(ClassRegistry::IsDerivedFrom("ttestedit", "TOBJECT")) << "names ignore case";
    EXPECT_TRUE(ClassRegistry::IsDerivedFrom("TTestEdit", "TTestEdit"));
    EXPECT_FALSE(ClassRegistry::IsDerivedFrom("TTestControl", "TTestEdit"));
    EXPECT_FALSE(ClassRegistry::IsDerivedFrom("TTestEdit", "TTestPanel"));
    EXPECT_FALSE(ClassRegistry::IsDerivedFrom("TNoSuch", "TObject"));
    std::vector<std::string> ancestry = ClassRegistry::Ancestry("TTestDerivedForm");
    ancestry.resize(std::min<size_t>(ancestry.size(), 5));
    EXPECT_EQ(ancestry,
              (std::vector<std::string>{"TTestDerivedForm", "TTestForm", "TTestPanel", "TTestControl", "TComponent"}));
}

TEST(ClassRegistry, PropertiesAndHooksAreInherited)
{
    const PropertyInfo* left = ClassRegistry::FindProperty("TTestGrid", "left");
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->kind, PropertyKind::Integer);
    EXPECT_EQ(ClassRegistry::FindProperty("TTestGrid", "Tag"), ClassRegistry::FindProperty("TComponent", "Tag"));
    EXPECT_EQ(ClassRegistry::FindProperty("TTestControl", "Columns"), nullptr) << "not from descendants";

    const ClassInfo* hook = ClassRegistry::FindAdoptHook("TTestDerivedForm");
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(hook->name, "TTestPanel");
    EXPECT_EQ(ClassRegistry::FindAdoptHook("TTestEdit"), nullptr);
}

TEST(ClassRegistry, ReadersGiveValuesBackInResourceTerms)
{
    TTestGrid grid(nullptr);
    TTestSource source(nullptr);
    grid.SetAlign(TAlign::alClient);
    grid.SetFontStyle({TFontStyle::fsUnderline, TFontStyle::fsBold});
    grid.SetDataSource(&source);
    grid.SetTabOrder(-3);
    auto read = [&grid](const char* name) { return ClassRegistry::FindProperty("TTestGrid", name)->read(grid); };
    EXPECT_EQ(std::get<std::string>(read("Align")), "alClient");
    EXPECT_EQ(std::get<std::vector<std::string>>(read("Font.Style")),
              (std::vector<std::string>{"fsBold", "fsUnderline"}))
        << "in declaration order";
    EXPECT_EQ(std::get<TComponent*>(read("DataSource")), &source);
    EXPECT_EQ(std::get<int>(read("TabOrder")), -3);
    EXPECT_EQ(std::get<bool>(read("Enabled")), true);
    EXPECT_FALSE(ClassRegistry::FindProperty("TTestGrid", "Columns")->read) << "collections have no reader";
}

TEST(ClassRegistry, ARegistrationLivesAsLongAsItsObject)
{
    EXPECT_EQ(ClassRegistry::Find("TScopedThing"), nullptr);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        {
            ClassRegistration<TScopedThing> thing("TScopedThing", "TComponent", DeclareSize);
            ASSERT_NE(ClassRegistry::Find("TScopedThing"), nullptr);
            TTestForm form;
            FormReader::ApplyText(&form, TTestForm::Handlers(), kThingForm, "thing.form");
            auto* t = dynamic_cast<TScopedThing*>(form.FindComponent("t"));
            ASSERT_NE(t, nullptr);
            EXPECT_EQ(t->Size(), 3);
        }
        // As after a package is unloaded: its classes can no longer be read.
        EXPECT_EQ(ClassRegistry::Find("TScopedThing"), nullptr);
        EXPECT_EQ(ClassRegistry::FindProperty("TScopedThing", "Size"), nullptr);
        TTestForm form;
        try {
            FormReader::ApplyText(&form, TTestForm::Handlers(), kThingForm, "thing.form");
            ADD_FAILURE() << "an unregistered class was read";
        } catch (const EResourceError& e) {
            EXPECT_EQ(e.Line(), 2);
            EXPECT_EQ(e.Column(), 13);
        }
    }
}

TEST(ClassRegistry, ALaterRegistrationShadowsAndUncovers)
{
    ClassRegistration<TScopedThing> first("TScopedThing", "TComponent", DeclareSize);
    {
        ClassRegistration<TScopedThing> second("TScopedThing", "TComponent", nullptr, {});
        EXPECT_EQ(ClassRegistry::FindProperty("TScopedThing", "Size"), nullptr);
        EXPECT_FALSE(ClassRegistry::Find("TScopedThing")->create);
    }
    EXPECT_NE(ClassRegistry::FindProperty("TScopedThing", "Size"), nullptr) << "the first one is back";
    EXPECT_TRUE(ClassRegistry::Find("TScopedThing")->create);
}

TEST(ClassRegistry, AMissingAncestorIsNamedInTheError)
{
    ClassRegistration<TScopedThing> orphan("TScopedThing", "TScopedBase", DeclareSize);
    EXPECT_EQ(ClassRegistry::MissingAncestor("TScopedThing"), "TScopedBase");
    EXPECT_EQ(ClassRegistry::MissingAncestor("TTestEdit"), "");
    TTestForm form;
    try {
        FormReader::ApplyText(&form, TTestForm::Handlers(),
                              "object frm: TTestForm\n  object t: TScopedThing\n    Tag = 1\n  end\nend\n", "o.form");
        FAIL() << "Tag comes from an ancestor that is not registered";
    } catch (const EResourceError& e) {
        EXPECT_NE(e.Message().find("its ancestor TScopedBase is not registered"), std::string::npos) << e.what();
    }
}

TEST(ClassRegistry, AClassRegisteredUnderTheWrongParentFailsCleanly)
{
    // TTestSource claims to be a TTestControl: the control's setter must not
    // be run on it blindly.
    ClassRegistration<TTestSource> liar("TLyingSource", "TTestControl");
    TTestForm form;
    try {
        FormReader::ApplyText(&form, TTestForm::Handlers(),
                              "object frm: TTestForm\n  object s: TLyingSource\n    Left = 1\n  end\nend\n", "l.form");
        FAIL() << "accepted";
    } catch (const EResourceError& e) {
        EXPECT_EQ(e.Line(), 3);
        EXPECT_EQ(e.Column(), 12);
        EXPECT_NE(e.Message().find("TTestSource"), std::string::npos) << e.what();
    }
}
