// What a keyboard-only operator and one of another language meet on the
// screen, through the headless shell: the shell's own keys (F6 to the lists
// and between them, F2 and Alt+Down for the lookup of the focused edit), the
// lookup found by a registration number typed as the header shows it, every
// caption, hint and menu entry of a session in each translated language
// translated, and every form text of a pseudo-language session in brackets.
#include "CommandTrace.h"

namespace {

class KeyboardAndTextsTest : public ShellTest {};

std::string Focus(const ShellOutput& out, int dump)
{
    json active = out.Dump(dump)["screen"]["activeControl"];
    return active.is_string() ? active.get<std::string>() : "";
}

} // namespace

TEST_F(KeyboardAndTextsTest, F6ReachesTheListAndTheGridAndF2OpensTheLookupOfTheFocusedEdit)
{
    auto out = Run("open\nfocus medCliente\nkey F2\npick 0\ndump\n"
                   "key F6\ndump\nkey F6\ndump\nkey F6\ndump\n"
                   "focus medCliente\nkey Alt+Down\npick cancel\nfocus medCdFilial\nkey F2\npick cancel\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    // F2 in the client edit opened the client lookup, as its button does.
    auto lookups = out.All("lookup");
    ASSERT_EQ(lookups.size(), 3u) << out.Text();
    EXPECT_EQ(lookups[0]["lookup"], "btnCliente");
    EXPECT_EQ(out.Component("medCliente", 0)["text"], "11144477735");
    // F6 took the focus into the list (loading both views as a click there
    // does), then to the grid and back to the list.
    EXPECT_EQ(Focus(out, 1), "lsbPossiveis");
    EXPECT_FALSE(out.Component("lsbPossiveis", 1)["items"].empty());
    EXPECT_EQ(Focus(out, 2), "dbgPadrao");
    EXPECT_EQ(Focus(out, 3), "lsbPossiveis");
    // Alt+Down opens the same lookup; in the branch edit F2 opens the branch's.
    EXPECT_EQ(lookups[1]["lookup"], "btnCliente");
    EXPECT_EQ(lookups[2]["lookup"], "btpFilial");
    EXPECT_TRUE(out.Errors().empty()) << out.Text();
}

TEST_F(KeyboardAndTextsTest, TheLookupFindsARegistrationNumberTypedAsTheHeaderShowsIt)
{
    auto out = Run("open\nclick btnCliente\ntype 11.222.333/0001-81\nkey Backspace\nkey Enter\n"
                   "click btnCliente\ntype 529.982.247-25\nkey Enter\ndump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    auto lookups = out.All("lookup");
    ASSERT_GE(lookups.size(), 5u) << out.Text();
    ASSERT_EQ(lookups[1]["rows"].size(), 1u) << out.Text();
    EXPECT_EQ(lookups[1]["rows"][0].dump().find("11222333000181") != std::string::npos, true);
    EXPECT_EQ(lookups.back()["rows"].size(), 1u) << out.Text();
    EXPECT_EQ(out.Component("medCliente")["text"], "52998224725");
}

namespace {

class TranslatedSessionTest : public ShellTest, public ::testing::WithParamInterface<std::string> {};
class PseudoSessionTest : public ShellTest, public ::testing::WithParamInterface<std::string> {};

// Texts of a language checked word for word, beside the checks every
// translated language takes.
struct KnownText {
    std::string language;
    std::string component;
    std::string property;
    std::string text;
};
const std::vector<KnownText> kKnownTexts = {
    {"en", "mniRegistro", "caption", "&Record"},
    {"en", "sbtConfirmar", "hint", "Confirm"},
};

} // namespace

TEST_P(TranslatedSessionTest, EveryCaptionHintAndMenuEntryIsTranslated)
{
    WriteSession();
    json portuguese = Run("open\ndump\n").Dump()["screen"]["components"];
    WriteSession({{"Language", GetParam()}});
    json translated = Run("open\ndump\n").Dump()["screen"]["components"];
    int compared = 0;
    for (const auto& [name, component] : portuguese.items()) {
        for (const char* text : {"caption", "hint"}) {
            // The screen's code is the same in every language.
            if (!component.contains(text) || name == "lblCodTela") {
                continue;
            }
            ++compared;
            ASSERT_TRUE(translated[name].contains(text)) << name;
            EXPECT_NE(translated[name][text], component[text]) << name << " " << text << " left untranslated";
        }
    }
    // The standard screen's eight toolbar hints and nine menu captions among them.
    EXPECT_GE(compared, 17);
    EXPECT_EQ(portuguese["mniRegistro"]["caption"], "&Registro");
    for (const auto& known : kKnownTexts) {
        if (known.language == GetParam()) {
            EXPECT_EQ(translated[known.component][known.property], known.text) << known.component;
        }
    }
}

TEST_P(PseudoSessionTest, ShowsNoFormTextThatEscapesTranslation)
{
    // Every text of the pseudo-language module is in brackets: a text shown
    // without them does not come from the translatable resources.
    WriteSession({{"Language", GetParam()}});
    auto out = Run(trace::Header(0) + "dump\n");
    ASSERT_EQ(out.exitCode, 0) << out.Text();
    json screen = out.Dump()["screen"];
    std::vector<std::string> texts = {screen["caption"].get<std::string>()};
    for (const auto& [name, component] : screen["components"].items()) {
        for (const char* key : {"caption", "hint"}) {
            if (component.contains(key) && !component[key].get<std::string>().empty()) {
                texts.push_back(name + ": " + component[key].get<std::string>());
            }
        }
        for (const auto& column : component.value("columns", json::array())) {
            texts.push_back(name + ": " + column["title"].get<std::string>());
        }
    }
    EXPECT_GE(texts.size(), 30u);
    for (const std::string& text : texts) {
        EXPECT_TRUE(text.find('[') != std::string::npos && text.back() == ']') << text;
    }
}

// Every language cmake/Languages.txt lists, each by its code.
INSTANTIATE_TEST_SUITE_P(Languages, TranslatedSessionTest, ::testing::ValuesIn(TranslatedLanguages()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
INSTANTIATE_TEST_SUITE_P(Languages, PseudoSessionTest, ::testing::ValuesIn(PseudoLanguages()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
// A build may list no language of a kind.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TranslatedSessionTest);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PseudoSessionTest);
