#include "host/ShellRoutines.h"
#include "host/IShellUi.h"
#include "host/ProgressShown.h"
#include "platform/controls/TApplication.h"
#include "platform/core/Cp1252.h"
#include "platform/core/ErrorSink.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Collects what the operator would see while a test runs.
class ShownErrors {
public:
    ShownErrors()
    {
        previous_ = ErrorSink::Set([this](const std::string& text) { texts.push_back(text); });
    }
    ~ShownErrors() { ErrorSink::Set(std::move(previous_)); }
    std::vector<std::string> texts;

private:
    ErrorSink::Sink previous_;
};

TEST(EmptyString, OnlyBlanksAndControlCharactersAreEmpty)
{
    EXPECT_TRUE(EmptyString(""));
    EXPECT_TRUE(EmptyString("    "));
    EXPECT_TRUE(EmptyString(" \t\r\n"));
    EXPECT_TRUE(EmptyString("\xA0")) << "the no-break space is a blank";
    EXPECT_FALSE(EmptyString(" a "));
    EXPECT_FALSE(EmptyString("0"));
    EXPECT_FALSE(EmptyString("_"));
    EXPECT_FALSE(EmptyString(Cp1252::FromUtf8(" é")));
}

TEST(Ajusta, PadsOnTheLeftWithZerosToTheWidth)
{
    EXPECT_EQ(Ajusta("1", 4), "0001");
    EXPECT_EQ(Ajusta("12", 4), "0012");
    EXPECT_EQ(Ajusta(" 12  ", 4), "0012") << "blanks are dropped before padding";
    EXPECT_EQ(Ajusta("AB", 4), "00AB");
    EXPECT_EQ(Ajusta("0001", 4), "0001");
    EXPECT_EQ(Ajusta("1", 1), "1");
}

TEST(Ajusta, NeverCutsAndLeavesBlankTextEmpty)
{
    EXPECT_EQ(Ajusta("12345", 4), "12345");
    EXPECT_EQ(Ajusta(" 12345 ", 4), "12345");
    EXPECT_EQ(Ajusta("", 4), "");
    EXPECT_EQ(Ajusta("   ", 4), "");
    EXPECT_EQ(Ajusta(" 7 ", 0), "7");
    EXPECT_EQ(Ajusta("7", -3), "7");
}

TEST(Ajusta_Inscricao, KeepsOnlyTheDigitsInPlace)
{
    std::string cpf = "123.456.789-01";
    EXPECT_EQ(Ajusta_Inscricao(cpf), "12345678901");
    EXPECT_EQ(cpf, "12345678901");

    std::string cnpj = " 12.345.678/0001-90_";
    Ajusta_Inscricao(cnpj);
    EXPECT_EQ(cnpj, "12345678000190");

    std::string letters = Cp1252::FromUtf8("abc ção");
    Ajusta_Inscricao(letters);
    EXPECT_EQ(letters, "");

    std::string digits = "0042";
    Ajusta_Inscricao(digits);
    EXPECT_EQ(digits, "0042") << "leading zeros are digits too";
}

TEST(PictPess, MasksByPersonKind)
{
    EXPECT_EQ(PictPess("F"), "999.999.999-99;0;_");
    EXPECT_EQ(PictPess("f"), "999.999.999-99;0;_");
    EXPECT_EQ(PictPess(" F "), "999.999.999-99;0;_");
    EXPECT_EQ(PictPess("J"), "99.999.999/9999-99;0;_");
    EXPECT_EQ(PictPess("j"), "99.999.999/9999-99;0;_");
}

TEST(PictPess, OtherKindsTakeTheWholeRegistrationNumber)
{
    for (const char* kind : {"", " ", "E", "FJ", "X"}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(PictPess(kind), "99999999999999999999;0;_");
    }
}

TEST(MensErro, ShowsTheTextAndAbandonsTheHandler)
{
    ShownErrors shown;
    EXPECT_THROW(MensErro("Filial deve ser informada.", true), EAbort);
    EXPECT_EQ(shown.texts, std::vector<std::string>{"Filial deve ser informada."});

    EXPECT_NO_THROW(MensErro("only shown", false));
    EXPECT_EQ(shown.texts.back(), "only shown");
}

TEST(MensErro, TheOperatorSeesTheMessageOnceThroughTheApplicationsReport)
{
    ShownErrors shown;
    bool after = false;
    Application().Dispatch([&] {
        MensErro(Cp1252::FromUtf8("Filial não cadastrada."), true);
        after = true;
    });
    EXPECT_FALSE(after) << "the rest of the handler does not run";
    EXPECT_EQ(shown.texts, std::vector<std::string>{Cp1252::FromUtf8("Filial não cadastrada.")});
}

TEST(CheckResultServ, StatusAnswersThatMeanSuccess)
{
    ShownErrors shown;
    EXPECT_TRUE(CheckResultServ(Variant::Null(), true, 0));
    EXPECT_TRUE(CheckResultServ(Variant(true), true, 0));
    EXPECT_TRUE(CheckResultServ(Variant(0), true, 0));
    EXPECT_TRUE(CheckResultServ(Variant(3), true, 0));
    EXPECT_TRUE(CheckResultServ(Variant(std::string()), true, 0));
    EXPECT_TRUE(CheckResultServ(Variant(DataPacket{}), true, 0));
    EXPECT_TRUE(shown.texts.empty());
}

TEST(CheckResultServ, ATextOrFalseIsAFailure)
{
    ShownErrors shown;
    const std::string text = Cp1252::FromUtf8("Violação de chave estrangeira");
    EXPECT_THROW(CheckResultServ(Variant(text), true, 0), EAbort);
    ASSERT_EQ(shown.texts.size(), 1u);
    EXPECT_EQ(shown.texts[0], text);

    EXPECT_FALSE(CheckResultServ(Variant(text), false, 0));
    EXPECT_EQ(shown.texts.size(), 2u) << "without raising it is still shown";

    EXPECT_THROW(CheckResultServ(Variant(text), true, 17), EAbort);
    EXPECT_EQ(shown.texts.back(), text + " (17)");

    // False fails without a message of its own; the operator still sees one.
    EXPECT_THROW(CheckResultServ(Variant(false), true, 0), EAbort);
    ASSERT_EQ(shown.texts.size(), 4u);
    EXPECT_FALSE(shown.texts.back().empty());
}

// Records what the shell would be asked to show.
class RecordingUi : public IShellUi {
public:
    RecordingUi() { previous_ = IShellUi::SetCurrent(this); }
    ~RecordingUi() override { IShellUi::SetCurrent(previous_); }

    void ShowProgress(TComponent* owner, int kind, const std::string& text) override
    {
        calls.push_back("show " + std::to_string(kind) + " " + text);
        shownOver = owner;
    }
    void HideProgress() override { calls.push_back("hide"); }
    void ShowProgressCount(int done, int total) override
    {
        calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    }
    std::optional<int> PickRow(TComponent*, const std::string&, TDataSet*) override { return std::nullopt; }
    void ShowEmptyLookup(TComponent*, const std::string&) override {}
    void Search(TDataSet* dataSet) override
    {
        calls.push_back("search");
        searched = dataSet;
    }

    std::vector<std::string> calls;
    TComponent* shownOver = nullptr;
    TDataSet* searched = nullptr;

private:
    IShellUi* previous_ = nullptr;
};

TEST(ShowAvi, OpensOverTheOwnerAndClosingTwiceIsHarmless)
{
    RecordingUi ui;
    DeactiveShowAvi();
    EXPECT_TRUE(ui.calls.empty()) << "closing with nothing open tells the shell nothing";
    TComponent owner(nullptr);
    ActiveShowAvi(&owner, 6, "Atualizando");
    EXPECT_TRUE(ShowAviActive());
    EXPECT_EQ(ui.shownOver, &owner);
    DeactiveShowAvi();
    DeactiveShowAvi();
    EXPECT_FALSE(ShowAviActive());
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"show 6 Atualizando", "hide"}));
}

TEST(ShowAvi, ASecondOpenShowsTheNewTextAndOneCloseEndsIt)
{
    RecordingUi ui;
    ActiveShowAvi(nullptr, 6, "um");
    ActiveShowAvi(nullptr, 6, "dois");
    DeactiveShowAvi();
    DeactiveShowAvi();
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"show 6 um", "show 6 dois", "hide"}));
}

TEST(ShowAvi, CountsReachTheShellOnlyWhileTheWindowIsOpen)
{
    RecordingUi ui;
    ShowAviCount(1, 3);
    {
        ProgressShown progress(nullptr, 6, "um");
        progress.Count(1, 3);
        ShowAviCount(2, 3);
        progress.Close();
        progress.Count(3, 3);
    }
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"show 6 um", "1/3", "2/3", "hide"}));
}

TEST(Procura, WithoutADataSetIsRefused)
{
    RecordingUi ui;
    EXPECT_THROW(Procura(nullptr), EInvalidOperation);
    EXPECT_TRUE(ui.calls.empty());
}

} // namespace
