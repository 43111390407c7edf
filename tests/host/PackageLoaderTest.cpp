#include "platform/package/PackageLoader.h"
#include "platform/core/Exception.h"
#include "platform/core/ResourceTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kPackage = std::string(TEST_BIN_DIR) + "/test_package.so";

using Log = std::vector<std::string>;

class PackageLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pkgloader-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        logFile_ = dir_ / "events.log";
        setenv("TEST_PACKAGE_LOG", logFile_.c_str(), 1);
        unsetenv("TEST_PACKAGE_FAIL");
    }
    void TearDown() override
    {
        unsetenv("TEST_PACKAGE_LOG");
        unsetenv("TEST_PACKAGE_FAIL");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Events logged since the last call.
    Log Events()
    {
        Log all;
        std::ifstream in(logFile_);
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        Log fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())), all.end());
        seen_ = all.size();
        return fresh;
    }

    void WriteFile(const fs::path& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    fs::path dir_;
    fs::path logFile_;
    std::size_t seen_ = 0;
};

const Log kAllInits{"init Base", "init Data", "init Self", "init Screen"};
const Log kAllFins{"fin Screen", "fin Self", "fin Data", "fin Base"};

TEST_F(PackageLoaderTest, LoadInitializesInTableOrderAndUnloadFinalizesInReverse)
{
    PackageLoader loader;
    loader.Load(kPackage, "xx");
    EXPECT_TRUE(loader.Loaded());
    EXPECT_EQ(loader.FileName(), kPackage);
    EXPECT_EQ(Events(), kAllInits);
    EXPECT_FALSE(loader.Global<bool>("boFlag")) << "the screen unit's initialization resets its flag";
    EXPECT_EQ(loader.Entry<int()>("TestEntry")(), 42);

    loader.Unload();
    EXPECT_FALSE(loader.Loaded());
    EXPECT_EQ(Events(), kAllFins);
    EXPECT_EQ(loader.Find("TestEntry"), nullptr);
    EXPECT_NO_THROW(loader.Unload()) << "unloading twice is harmless";
    EXPECT_TRUE(Events().empty());

    {
        PackageLoader scoped;
        scoped.Load(kPackage, "xx");
        Events();
    }
    EXPECT_EQ(Events(), kAllFins) << "destroying a loader unloads its package";
}

TEST_F(PackageLoaderTest, SecondInitializationChangesNothingAndOnlyTheBalancingFinalizationReleases)
{
    PackageLoader loader;
    loader.Load(kPackage, "xx");
    Events();
    bool& boFlag = loader.Global<bool>("boFlag");
    char* stTexto = &loader.Global<char>("stTexto");
    boFlag = true;
    std::strcpy(stTexto, "abc");

    loader.Entry<void()>("Initialize")();
    EXPECT_EQ(Events(), Log{"init Self"}) << "only the unit without a count of its own runs again";
    EXPECT_TRUE(boFlag);

    loader.Entry<void()>("Finalize")();
    EXPECT_EQ(Events(), Log{"fin Self"});
    EXPECT_STREQ(stTexto, "abc") << "the finalization balancing the second initialization releases nothing";

    loader.Unload();
    EXPECT_EQ(Events(), kAllFins);
}

TEST_F(PackageLoaderTest, TwoLoadersOfOnePackageShareItsUnits)
{
    PackageLoader first;
    PackageLoader second;
    first.Load(kPackage, "xx");
    second.Load(kPackage, "xx");
    EXPECT_EQ(Events(), (Log{"init Base", "init Data", "init Self", "init Screen", "init Self"}));

    second.Unload();
    EXPECT_EQ(Events(), Log{"fin Self"});
    EXPECT_EQ(first.Entry<int()>("TestEntry")(), 42) << "the module stays open for the first loader";

    first.Unload();
    EXPECT_EQ(Events(), kAllFins);
}

TEST_F(PackageLoaderTest, AFailingUnitTakesTheUnitsBeforeItDownAgain)
{
    setenv("TEST_PACKAGE_FAIL", "Screen", 1);
    PackageLoader loader;
    try {
        loader.Load(kPackage, "xx");
        FAIL() << "the load should fail";
    } catch (const EPackageError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("test_package.so"), std::string::npos) << message;
        EXPECT_NE(message.find("'Screen'"), std::string::npos) << message;
        EXPECT_NE(message.find("refused to start"), std::string::npos) << message;
    }
    EXPECT_FALSE(loader.Loaded());
    EXPECT_EQ(Events(), (Log{"init Base", "init Data", "init Self", "fin Self", "fin Data", "fin Base"}));

    // The counts went back to where they were, so a later load starts afresh.
    unsetenv("TEST_PACKAGE_FAIL");
    loader.Load(kPackage, "xx");
    EXPECT_EQ(Events(), kAllInits);
}

TEST_F(PackageLoaderTest, MissingExportsAreNamed)
{
    PackageLoader loader;
    loader.Load(kPackage, "xx");
    EXPECT_EQ(loader.Find("NoSuchEntry"), nullptr);
    try {
        loader.Resolve("NoSuchEntry");
        FAIL() << "Resolve should fail";
    } catch (const EPackageError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("'NoSuchEntry'"), std::string::npos) << message;
        EXPECT_NE(message.find("test_package.so"), std::string::npos) << message;
    }
    EXPECT_THROW(loader.Entry<void()>("IniProc"), EPackageError);

    loader.Unload();
    EXPECT_THROW(loader.Resolve("TestEntry"), EPackageError) << "nothing is loaded to look in";
}

TEST_F(PackageLoaderTest, AMissingFileIsReportedAsSuch)
{
    PackageLoader loader;
    const std::string path = (dir_ / "PKG_NOWHERE.so").string();
    try {
        loader.Load(path);
        FAIL() << "the load should fail";
    } catch (const EPackageError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find("not found"), std::string::npos) << message;
    }
    EXPECT_FALSE(loader.Loaded());
}

TEST_F(PackageLoaderTest, AFileTheDynamicLinkerRefusesCarriesItsExplanation)
{
    const fs::path path = dir_ / "garbage.so";
    WriteFile(path, "this is not a shared object, only some text that is long enough");
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_EQ(h, nullptr);
    std::string linkerSays = dlerror();

    PackageLoader loader;
    try {
        loader.Load(path.string());
        FAIL() << "the load should fail";
    } catch (const EPackageError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("Cannot load package"), std::string::npos) << message;
        EXPECT_NE(message.find(linkerSays), std::string::npos) << message;
    }
    EXPECT_FALSE(loader.Loaded());
}

TEST_F(PackageLoaderTest, ASharedObjectWithoutTheUnitTableIsNoPackage)
{
    PackageLoader loader;
    try {
        loader.Load(std::string(TEST_BIN_DIR) + "/libhost.so", "xx");
        FAIL() << "the load should fail";
    } catch (const EPackageError& e) {
        EXPECT_NE(std::string(e.what()).find("'GetPackageInfoTable'"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(loader.Loaded());
}

TEST_F(PackageLoaderTest, ASecondLoadOnTheSameLoaderIsRefused)
{
    PackageLoader loader;
    loader.Load(kPackage, "xx");
    Events();
    EXPECT_THROW(loader.Load(kPackage, "xx"), EInvalidOperation);
    EXPECT_TRUE(Events().empty()) << "the refused load initialized nothing";
    EXPECT_TRUE(loader.Loaded());
}

// The language resource module lies beside a copy of the package.
class LanguageModuleTest : public PackageLoaderTest {
protected:
    void SetUp() override
    {
        PackageLoaderTest::SetUp();
        package_ = dir_ / "PKG_TEST.so";
        fs::copy_file(kPackage, package_);
    }
    fs::path package_;
};

TEST_F(LanguageModuleTest, ResourcesOfTheLocaleOverrideWhileThePackageIsLoaded)
{
    const std::string english = package_.string() + ".en";
    WriteFile(english, ResourceTable::FormatOverrides({{"PkgTestForm.txt", "object frm: TForm\nend\n"}}));

    PackageLoader loader;
    loader.Load(package_.string(), "en_US");
    EXPECT_EQ(loader.ResourceModule(), english) << "the language alone is tried after the full locale";
    auto found = ResourceTable::Find("PkgTestForm.txt");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, "object frm: TForm\nend\n");

    loader.Unload();
    EXPECT_FALSE(ResourceTable::Find("PkgTestForm.txt").has_value());
    EXPECT_TRUE(ResourceTable::OverridesPath().empty());
}

TEST_F(LanguageModuleTest, TheFullLocaleWinsOverTheLanguage)
{
    WriteFile(package_.string() + ".pt", ResourceTable::FormatOverrides({{"PkgTestText", "pt"}}));
    WriteFile(package_.string() + ".pt_BR", ResourceTable::FormatOverrides({{"PkgTestText", "pt_BR"}}));

    PackageLoader loader;
    loader.Load(package_.string(), "pt_BR");
    EXPECT_EQ(loader.ResourceModule(), package_.string() + ".pt_BR");
    EXPECT_EQ(ResourceTable::Find("PkgTestText").value_or(""), "pt_BR");
}

TEST_F(LanguageModuleTest, WithoutAModuleForTheLocaleThePackageKeepsItsOwn)
{
    WriteFile(package_.string() + ".en", ResourceTable::FormatOverrides({{"PkgTestText", "en"}}));
    PackageLoader loader;
    loader.Load(package_.string(), "fr_FR");
    EXPECT_TRUE(loader.ResourceModule().empty());
    EXPECT_FALSE(ResourceTable::Find("PkgTestText").has_value());
    EXPECT_EQ(Events(), kAllInits);
}

TEST_F(LanguageModuleTest, WithoutAChosenLocaleThePackageKeepsItsOwnWhateverTheEnvironment)
{
    WriteFile(package_.string() + ".en", ResourceTable::FormatOverrides({{"PkgTestText", "en"}}));
    const char* saved = std::getenv("LANG");
    std::string was = saved != nullptr ? saved : "";
    setenv("LANG", "en_US.UTF-8", 1);
    PackageLoader loader;
    loader.Load(package_.string());
    EXPECT_TRUE(loader.ResourceModule().empty());
    EXPECT_FALSE(ResourceTable::Find("PkgTestText").has_value());
    if (saved != nullptr) {
        setenv("LANG", was.c_str(), 1);
    } else {
        unsetenv("LANG");
    }
}

TEST_F(LanguageModuleTest, ALocaleThatWouldLeaveTheFolderIsRefused)
{
    EXPECT_THROW(PackageLoader::FindResourceModule(package_.string(), "../x"), EPackageError);
    PackageLoader loader;
    EXPECT_THROW(loader.Load(package_.string(), "en/../../etc"), EPackageError);
    EXPECT_FALSE(loader.Loaded());
}

TEST_F(LanguageModuleTest, AnUnreadableModuleIsSkippedWithAWarningAndThePackageKeepsItsOwn)
{
    const std::string english = package_.string() + ".en";
    WriteFile(english, "not a resource module\n");
    PackageLoader loader;
    loader.Load(package_.string(), "en");
    EXPECT_TRUE(loader.Loaded());
    EXPECT_EQ(Events(), kAllInits);
    EXPECT_TRUE(loader.ResourceModule().empty());
    EXPECT_TRUE(ResourceTable::OverridesPath().empty());
    EXPECT_NE(loader.Warning().find(english), std::string::npos) << loader.Warning();
}

// The loader's unit-table walk, on tables built here.
struct Recorder {
    static inline Log events;
    static inline const char* failInit = nullptr;
    static inline const char* failFin = nullptr;
};

template <const char* Name>
void RecInit()
{
    if (Recorder::failInit != nullptr && std::strcmp(Recorder::failInit, Name) == 0) {
        throw std::runtime_error("boom");
    }
    Recorder::events.push_back(std::string("init ") + Name);
}

template <const char* Name>
void RecFin()
{
    Recorder::events.push_back(std::string("fin ") + Name);
    if (Recorder::failFin != nullptr && std::strcmp(Recorder::failFin, Name) == 0) {
        throw std::runtime_error("bang");
    }
}

constexpr char kA[] = "A";
constexpr char kB[] = "B";
constexpr char kC[] = "C";

class UnitTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Recorder::events.clear();
        Recorder::failInit = nullptr;
        Recorder::failFin = nullptr;
    }
    std::int32_t a_ = 0;
    std::int32_t b_ = 0;
    std::int32_t c_ = 0;
    PackageUnitEntry units_[3] = {
        {kA, &a_, RecInit<kA>, RecFin<kA>},
        {kB, &b_, RecInit<kB>, RecFin<kB>},
        {kC, &c_, RecInit<kC>, RecFin<kC>},
    };
    PackageInfoTable table_{kPackageAbiVersion, 3, units_};
};

TEST_F(UnitTableTest, RollbackSparesUnitsThatWereUpBefore)
{
    // A is shared with a package loaded earlier: its count is already -1.
    PackageInfoTable onlyA{kPackageAbiVersion, 1, units_};
    PackageLoader::InitializeUnits(onlyA);
    Recorder::events.clear();

    Recorder::failInit = kC;
    EXPECT_THROW(PackageLoader::InitializeUnits(table_), EPackageError);
    EXPECT_EQ(Recorder::events, (Log{"init B", "fin B"}));
    EXPECT_EQ(a_, -1);
    EXPECT_EQ(b_, 0);
    EXPECT_EQ(c_, 0);
}

TEST_F(UnitTableTest, AFailingFinalizationStopsNeitherTheOthersNorTheCounts)
{
    PackageLoader::InitializeUnits(table_);
    Recorder::events.clear();
    Recorder::failFin = kB;
    try {
        PackageLoader::FinalizeUnits(table_);
        FAIL() << "the finalization error should be reported";
    } catch (const EPackageError& e) {
        EXPECT_NE(std::string(e.what()).find("'B'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("bang"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Recorder::events, (Log{"fin C", "fin B", "fin A"}));
    EXPECT_EQ(a_, 0);
    EXPECT_EQ(b_, 0);
    EXPECT_EQ(c_, 0);
}

TEST_F(UnitTableTest, TablesOfAnotherVersionOrWithoutUnitsAreRefused)
{
    PackageInfoTable future{kPackageAbiVersion + 1, 3, units_};
    EXPECT_THROW(PackageLoader::InitializeUnits(future), EPackageError);
    EXPECT_THROW(PackageLoader::FinalizeUnits(future), EPackageError);
    PackageInfoTable hollow{kPackageAbiVersion, 3, nullptr};
    EXPECT_THROW(PackageLoader::InitializeUnits(hollow), EPackageError);
    EXPECT_TRUE(Recorder::events.empty());
    EXPECT_EQ(a_, 0);
}

} // namespace
