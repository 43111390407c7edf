#include "platform/core/ResourceTable.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

std::string WriteFile(const std::string& name, const std::string& bytes)
{
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void ExpectRefusedAtLine(const std::string& content, int line, const char* fragment)
{
    SCOPED_TRACE(content);
    std::string path = WriteFile("forms_bad.res", content);
    try {
        ResourceTable::LoadOverrides(path);
        ADD_FAILURE() << "accepted";
    } catch (const EResourceError& e) {
        EXPECT_EQ(e.File(), path);
        EXPECT_EQ(e.Line(), line) << e.what();
        EXPECT_NE(e.Message().find(fragment), std::string::npos) << e.what();
    }
    std::remove(path.c_str());
}

} // namespace

TEST(ResourceTable, RegisteredResourcesComeAndGo)
{
    EXPECT_FALSE(ResourceTable::Find("rt_a.form"));
    std::string bytes = "first";
    ResourceTable::Register("rt_a.form", bytes);
    bytes = "changed"; // the table keeps its own copy
    ASSERT_TRUE(ResourceTable::Find("rt_a.form"));
    EXPECT_EQ(*ResourceTable::Find("rt_a.form"), "first");
    EXPECT_FALSE(ResourceTable::Find("RT_A.FORM")) << "file names are exact";
    ResourceTable::Unregister("rt_a.form");
    EXPECT_FALSE(ResourceTable::Find("rt_a.form"));
    ResourceTable::Unregister("rt_a.form"); // nothing left: no effect, no error
}

TEST(ResourceTable, TwoLibrariesWithOneNameUnloadInAnyOrder)
{
    ResourceTable::Register("rt_b.form", "from A");
    ResourceTable::Register("rt_b.form", "from B");
    EXPECT_EQ(*ResourceTable::Find("rt_b.form"), "from B");
    ResourceTable::Unregister("rt_b.form", "from A"); // A unloads first
    EXPECT_EQ(*ResourceTable::Find("rt_b.form"), "from B");
    ResourceTable::Unregister("rt_b.form", "from A"); // already gone: B's stays
    EXPECT_EQ(*ResourceTable::Find("rt_b.form"), "from B");
    ResourceTable::Unregister("rt_b.form", "from B");
    EXPECT_FALSE(ResourceTable::Find("rt_b.form"));
}

TEST(ResourceTable, OverridesWinUntilCleared)
{
    ResourceTable::Register("rt_c.form", "original");
    std::string binary("\x00\xFF\n\r\nend", 7);
    std::string content = ResourceTable::FormatOverrides({{"rt_c.form", "traduzido\n"}, {"rt_bin", binary}});
    std::string path = WriteFile("forms_lang.res", content);

    ResourceTable::LoadOverrides(path);
    EXPECT_EQ(ResourceTable::OverridesPath(), path);
    EXPECT_EQ(*ResourceTable::Find("rt_c.form"), "traduzido\n");
    EXPECT_EQ(*ResourceTable::Find("rt_bin"), binary) << "bytes are kept as they are, line feeds included";

    ResourceTable::ClearOverrides();
    EXPECT_EQ(*ResourceTable::Find("rt_c.form"), "original");
    EXPECT_FALSE(ResourceTable::Find("rt_bin"));
    EXPECT_EQ(ResourceTable::OverridesPath(), "");

    // Loading again gives the same result: nothing was left behind.
    ResourceTable::LoadOverrides(path);
    EXPECT_EQ(*ResourceTable::Find("rt_c.form"), "traduzido\n");
    ResourceTable::ClearOverrides();
    ResourceTable::Unregister("rt_c.form");
    std::remove(path.c_str());
}

TEST(ResourceTable, TheDocumentedFormatReadsAsWritten)
{
    std::string path = WriteFile("forms_hand.res", "RESOURCES 1\r\n\nrt_d 3\nabc\n\nrt_e 0\n\n");
    ResourceTable::LoadOverrides(path);
    EXPECT_EQ(*ResourceTable::Find("rt_d"), "abc");
    EXPECT_EQ(*ResourceTable::Find("rt_e"), "");
    ResourceTable::ClearOverrides();
    std::remove(path.c_str());
}

TEST(ResourceTable, AMalformedModuleIsRefusedWholeWithItsLine)
{
    ResourceTable::Register("rt_f.form", "original");
    std::string good = WriteFile("forms_good.res", ResourceTable::FormatOverrides({{"rt_f.form", "good"}}));
    ResourceTable::LoadOverrides(good);

    ExpectRefusedAtLine("", 1, "not a resource module");
    ExpectRefusedAtLine("RESOURCES 2\n", 1, "not a resource module");
    ExpectRefusedAtLine("RESOURCES 1\nrt_f.form\n", 2, "a name and a byte count");
    ExpectRefusedAtLine("RESOURCES 1\nrt_f.form x\n", 2, "invalid byte count 'x'");
    ExpectRefusedAtLine("RESOURCES 1\nrt_f.form -1\n", 2, "invalid byte count");
    ExpectRefusedAtLine("RESOURCES 1\nrt_f.form 99999999999\n", 2, "invalid byte count");
    ExpectRefusedAtLine("RESOURCES 1\na 2\nab\nrt_f.form 10\nshort\n", 4, "cut short");
    ExpectRefusedAtLine("RESOURCES 1\na 2\nabc\n", 3, "not followed by a line feed");
    ExpectRefusedAtLine("RESOURCES 1\na 1\n\n\nb 1\nx\na 1\ny\n", 7, "appears twice");
    ExpectRefusedAtLine("RESOURCES 1\na 1\nx", 3, "not followed by a line feed");
    ExpectRefusedAtLine("RESOURCES 1\nab", 2, "not terminated");

    EXPECT_EQ(*ResourceTable::Find("rt_f.form"), "good") << "a refused module leaves the loaded one in place";
    EXPECT_EQ(ResourceTable::OverridesPath(), good);
    EXPECT_THROW(ResourceTable::LoadOverrides(::testing::TempDir() + "forms_missing.res"), EResourceError);
    EXPECT_EQ(*ResourceTable::Find("rt_f.form"), "good");

    ResourceTable::ClearOverrides();
    ResourceTable::Unregister("rt_f.form");
    std::remove(good.c_str());
}

TEST(ResourceTable, FormatRefusesNamesTheFormatCannotCarry)
{
    EXPECT_THROW(ResourceTable::FormatOverrides({{"two words", "x"}}), EConvertError);
    EXPECT_THROW(ResourceTable::FormatOverrides({{"", "x"}}), EConvertError);
}
