// The lookup list's narrowing: which rows stay as the operator types.
#include "shell/SearchMatch.h"
#include "platform/core/Cp1252.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TStringField.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string Cp(const char* utf8)
{
    return Cp1252::FromUtf8(utf8);
}

class SearchMatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = std::make_unique<TComponent>(nullptr);
        data = new TClientDataSet(owner.get());
        for (const char* name : {"CODE", "NAME", "HIDDEN"}) {
            auto* field = new TStringField(owner.get());
            field->SetFieldName(name);
            field->SetSize(40);
            field->SetVisible(std::string(name) != "HIDDEN");
            field->SetDataSet(data);
        }
        DataPacket p;
        p.fields = {{"CODE", TFieldType::ftString, 40, false},
                    {"NAME", TFieldType::ftString, 40, false},
                    {"HIDDEN", TFieldType::ftString, 40, false}};
        for (const auto& [code, name] :
             std::vector<std::pair<std::string, std::string>>{{"000120", Cp("Padaria Pão Quente")},
                                                              {"000121", Cp("São Jorge Ferragens")},
                                                              {"000310", "Mercado Central"},
                                                              {"000400", Cp("ŠKODA Peças")}}) {
            PacketRow r;
            r.values = {code, name, std::string("padaria")};
            p.rows.push_back(r);
        }
        data->SetData(p);
    }

    std::unique_ptr<TComponent> owner;
    TClientDataSet* data = nullptr;
};

TEST_F(SearchMatchTest, ContainsIgnoresCaseAndAccents)
{
    EXPECT_TRUE(SearchMatch::Contains(Cp("Padaria Pão Quente"), "padaria"));
    EXPECT_TRUE(SearchMatch::Contains(Cp("Padaria Pão Quente"), "pao q"));
    EXPECT_TRUE(SearchMatch::Contains(Cp("São Jorge"), Cp("SÃO")));
    EXPECT_TRUE(SearchMatch::Contains(Cp("Ação"), "acao"));
    EXPECT_FALSE(SearchMatch::Contains(Cp("São Jorge"), "saoj"));
    EXPECT_FALSE(SearchMatch::Contains("abc", "abcd"));
}

TEST_F(SearchMatchTest, ANumberMatchesWithOrWithoutTheTextOfItsMask)
{
    EXPECT_TRUE(SearchMatch::Contains("11222333000181", "11.222.333/0001-81"));
    EXPECT_TRUE(SearchMatch::Contains("52998224725", "529.982.247-25"));
    EXPECT_TRUE(SearchMatch::Contains("52998224725", "982.24"));
    EXPECT_TRUE(SearchMatch::Contains("529.982.247-25", "52998224725"));
    EXPECT_FALSE(SearchMatch::Contains("52998224725", "529.982.247-26"));
    // Only a number is read so: a name holding digits keeps its own text.
    EXPECT_FALSE(SearchMatch::Contains("Loja 2000", "2.000"));
    EXPECT_FALSE(SearchMatch::Contains("12345", "1.2a"));
    EXPECT_EQ(SearchMatch::MatchingRows(data, "000.12"), (std::vector<int>{0, 1}));
    EXPECT_EQ(SearchMatch::FirstMatch(data, "0-0-0-3"), 2);
}

TEST_F(SearchMatchTest, MatchingRowsLooksInEveryVisibleFieldOnly)
{
    EXPECT_EQ(SearchMatch::MatchingRows(data, "padaria"), std::vector<int>{0});
    EXPECT_EQ(SearchMatch::MatchingRows(data, "sao"), std::vector<int>{1});
    EXPECT_EQ(SearchMatch::MatchingRows(data, "0001"), (std::vector<int>{0, 1}));
    EXPECT_EQ(SearchMatch::MatchingRows(data, "10"), (std::vector<int>{2}));
    EXPECT_EQ(SearchMatch::MatchingRows(data, "skoda"), std::vector<int>{3});
    EXPECT_EQ(SearchMatch::MatchingRows(data, "zzz"), std::vector<int>{});
}

TEST_F(SearchMatchTest, MatchingRowsOfNothingTypedIsEveryRowAndOfAClosedDataSetNone)
{
    EXPECT_EQ(SearchMatch::MatchingRows(data, ""), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(SearchMatch::MatchingRows(nullptr, "a").empty());
    data->Close();
    EXPECT_TRUE(SearchMatch::MatchingRows(data, "").empty());
}

} // namespace
