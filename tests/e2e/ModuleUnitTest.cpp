// The screen unit's guarded initialization and finalization, and the
// package's exported boundary, on the real package.
#include "InProcessScreen.h"

#include "platform/controls/TApplication.h"

#include <cstdint>
#include <string>

class ModuleUnitTest : public InProcessScreen {
protected:
    void Load() { package_.Load(std::string(TEST_BIN_DIR) + "/PKG_ZEL31500.so", "pt_BR"); }
    template <class T>
    T& Global(const char* name)
    {
        return package_.Global<T>(name);
    }
    void Call(const char* name) { reinterpret_cast<void (*)()>(package_.Resolve(name))(); }
};

TEST_F(ModuleUnitTest, ASecondInitializationChangesNothingAndOnlyTheBalancingFinalizationReleases)
{
    Load();
    EXPECT_FALSE(Global<bool>("boidcriado"));
    Global<bool>("bopesq") = true;
    Global<std::string>("stnmservico") = "Consultoria";
    Global<std::string>("stServFili") = "00001";

    Call("Cli_Zel31500_Initialization");
    EXPECT_TRUE(Global<bool>("bopesq"));

    Call("Cli_Zel31500_Finalization");
    EXPECT_EQ(Global<std::string>("stnmservico"), "Consultoria");
    EXPECT_EQ(Global<std::string>("stServFili"), "00001");

    Call("Cli_Zel31500_Finalization");
    EXPECT_EQ(Global<std::string>("stnmservico"), "");
    EXPECT_EQ(Global<std::string>("stServFili"), "");

    // Back to one initialization, which resets the flags, so the unload balances.
    Call("Cli_Zel31500_Initialization");
    EXPECT_FALSE(Global<bool>("bopesq"));
}

TEST_F(ModuleUnitTest, ThePackageExportsItsEntriesUnderPlainAndQualifiedNames)
{
    Load();
    for (const char* name :
         {"IniProc", "Cli_Zel31500.cria_ServCliente", "Initialize", "Finalize", "GetPackageInfoTable",
          "Pkg_Zel31500.Initialize", "Pkg_Zel31500.Finalize", "Pkg_Zel31500.GetPackageInfoTable", "frmServCliente",
          "boidcriado", "bopesq", "boDelTodos", "stnmservico", "stServFili"}) {
        EXPECT_NE(package_.Find(name), nullptr) << name;
    }
    auto table = reinterpret_cast<const PackageInfoTable* (*)()>(package_.Resolve("GetPackageInfoTable"))();
    ASSERT_GT(table->unitCount, 1u);
    EXPECT_STREQ(table->units[table->unitCount - 1].name, "Cli_Zel31500");
}

TEST_F(ModuleUnitTest, AFailedCreationLeavesNoScreenAndTheDefaultCursor)
{
    // A session whose local database path is a folder makes the show fail? No:
    // creation itself must fail. Unregistering nothing is possible from here, so
    // break the screen's class lookup instead: a missing main form of the
    // multiple-document kind makes showing raise.
    Application().SetMainForm(nullptr);
    Open();
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_EQ(Application().Cursor(), 0);
    // The screen was created (its reference set) but could not be shown.
    Application().SetMainForm(main_);
    Open();
    EXPECT_NE(Screen(), nullptr);
    EXPECT_EQ(Application().Cursor(), 0);
}
