#include "FormSamples.h"
#include "TestComponents.h"

#include "platform/core/Exception.h"
#include "platform/forms/FormReader.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct BadResource {
    const char* what;
    std::string text;
    int line;
    int column;
    const char* message; // a fragment the message must hold
};

// Every case is read into a fresh form; the error must point at the exact
// spot, and the form must keep no component of the failed read.
void ExpectRefused(const BadResource& c, const char* base = nullptr)
{
    SCOPED_TRACE(c.what);
    TTestDerivedForm form;
    {
        FormReader reader(&form, TTestDerivedForm::Handlers());
        if (base != nullptr) {
            reader.ReadText(base, "base.form");
        }
        try {
            reader.ReadText(c.text, "bad.form");
            reader.Finish();
            ADD_FAILURE() << "accepted";
            return;
        } catch (const EResourceError& e) {
            EXPECT_EQ(e.File(), "bad.form");
            EXPECT_EQ(e.Line(), c.line) << e.what();
            EXPECT_EQ(e.Column(), c.column) << e.what();
            EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(
                e.Message().rfind("bad.form:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": ", 0), 0u)
                << e.what();
        }
    }
    EXPECT_EQ(form.ComponentCount(), 0) << "the failed load's components are destroyed";
}

// A form of one object with one property line.
std::string WithLine(const std::string& line)
{
    return "object frm: TTestForm\n" + line + "\nend\n";
}

} // namespace

TEST(FormReaderErrors, SyntaxErrorsPointAtTheToken)
{
    const BadResource cases[] = {
        {"empty text", "", 1, 1, "'object' or 'inherited' expected"},
        {"missing colon", "object frm TTestForm\nend\n", 1, 12, "':' expected"},
        {"missing class", "object frm:\nend\n", 2, 1, "class name expected, found the keyword 'end'"},
        {"missing end", "object frm: TTestForm\n  Left = 1\n", 1, 1, "not closed with 'end'"},
        {"text after end", "object frm: TTestForm\nend\nLeft = 1\n", 3, 1, "nothing may follow"},
        {"missing equals", WithLine("  Left 1"), 2, 8, "'=' expected"},
        {"missing value", WithLine("  Left ="), 3, 1, "value expected"},
        {"unclosed string", WithLine("  Caption = 'abc"), 2, 13, "string is not closed"},
        {"unclosed set", WithLine("  Font.Style = [fsBold"), 3, 1, "',' or ']'"},
        {"set of numbers", WithLine("  Font.Style = [1]"), 2, 17, "set element name"},
        {"unclosed list", WithLine("  Lines.Strings = ('a'"), 2, 19, "list is not closed"},
        {"list in a list", WithLine("  Lines.Strings = (('a'))"), 2, 20, "cannot hold another list"},
        {"collection without item", WithLine("  Columns = < Width = 1 >"), 2, 15, "'item' or '>'"},
        {"unclosed item", "object frm: TTestForm\n  Columns = <\n    item\n", 3, 5, "'item' is not closed"},
        {"stray character", WithLine("  Left = 1 ;"), 2, 12, "unexpected character ';'"},
        {"control character", WithLine("  Left = \x01"), 2, 10, "control character"},
        {"decimal number", WithLine("  Left = 1.5"), 2, 11, "decimals are not supported"},
        {"huge number", WithLine("  Left = 99999999999999999999"), 2, 10, "too large"},
        {"empty char code", WithLine("  Caption = #"), 2, 13, "character code"},
        {"char code beyond Unicode", WithLine("  Caption = #1114112"), 2, 13, "beyond Unicode"},
        {"char code with no Windows-1252 form", WithLine("  Caption = 'a'#8594"), 2, 16, "U+2192"},
        {"odd binary", WithLine("  Glyph.Data = { 0A1 }"), 2, 20, "odd number"},
        {"bad binary digit", WithLine("  Glyph.Data = { 0G }"), 2, 19, "'G' is not a hex digit"},
        {"unclosed binary", WithLine("  Glyph.Data = { 00"), 3, 2, "opened on line 2 must close with '}'"},
        {"binary at the end", "object frm: TTestForm\n  Glyph.Data = { 00", 2, 16, "not closed with '}'"},
        {"keyword as value", WithLine("  Left = end"), 2, 10, "keyword 'end'"},
        {"string join without string", WithLine("  Caption = 'a' + 1"), 2, 19, "string after '+'"},
    };
    for (const auto& c : cases) {
        ExpectRefused(c);
    }
}

TEST(FormReaderErrors, TextThatIsNotWindows1252IsRefusedWhereItStands)
{
    const BadResource cases[] = {
        {"arrow", WithLine("  Caption = 'a\xE2\x86\x92z'"), 2, 15, "U+2192 has no Windows-1252 form"},
        {"after accented letters", "object frm: TTestForm\n  Caption = 'ção日'\nend\n", 2, 17, "U+65E5"},
        {"invalid UTF-8", WithLine("  Caption = 'a\xC3('"), 2, 15, "not valid UTF-8"},
        {"truncated UTF-8 at the end", "object frm: TTestForm\nend\n\xE2\x82", 3, 1, "not valid UTF-8"},
        {"overlong UTF-8", WithLine("  Caption = '\xC0\xAF'"), 2, 14, "not valid UTF-8"},
    };
    for (const auto& c : cases) {
        ExpectRefused(c);
    }
}

TEST(FormReaderErrors, ApplyingErrorsPointAtTheFault)
{
    const BadResource cases[] = {
        {"unknown class", "object frm: TTestForm\n  object p: TNoSuch\n  end\nend\n", 2, 13, "unknown class 'TNoSuch'"},
        {"form of another class", "object frm: TTestGrid\nend\n", 1, 13,
         "the form is a TTestDerivedForm, not a TTestGrid"},
        {"unknown property", WithLine("  Lefty = 3"), 2, 3, "unknown property 'Lefty' of TTestForm"},
        {"integer given a string", WithLine("  Left = 'x'"), 2, 10, "'Left' takes an integer, not a string"},
        {"string given an integer", WithLine("  Caption = 5"), 2, 13, "takes a string, not an integer"},
        {"boolean given a name", WithLine("  Enabled = Yes"), 2, 13, "True or False"},
        {"unknown enum value", WithLine("  Align = alMiddle"), 2, 11, "'alMiddle' is not a value of 'Align' (alNone,"},
        {"enum given a number", WithLine("  Align = 1"), 2, 11, "takes one of alNone"},
        {"unknown constant", WithLine("  Color = clPurple"), 2, 11, "'clPurple' is not a value of 'Color'"},
        {"int out of range", WithLine("  Left = 2147483648"), 2, 10, "out of range for 'Left'"},
        {"short out of range", WithLine("  TabOrder = 32768"), 2, 14, "(-32768 to 32767)"},
        {"unknown set element", WithLine("  Font.Style = [fsBold, fsHeavy]"), 2, 25, "'fsHeavy' is not an element"},
        {"set given a name", WithLine("  Font.Style = fsBold"), 2, 16, "takes a set of fsBold"},
        {"list holding a number", WithLine("  object m: TTestMessages\n    Lines.Strings = ('a' 2)\n  end"), 3, 26,
         "holds strings only"},
        {"list given a string", WithLine("  object m: TTestMessages\n    Lines.Strings = 'a'\n  end"), 3, 21,
         "a list of strings"},
        {"unknown property of an item",
         WithLine("  object g: TTestGrid\n    Columns = <\n      item\n        Nada = 1\n      end>\n  end"), 5, 9,
         "unknown property 'Nada' of TTestColumn"},
        {"property written twice", WithLine("  Left = 1\n  left = 2"), 3, 3, "written twice"},
        {"binary given a string", WithLine("  Glyph.Data = '00'"), 2, 16, "binary data"},
    };
    for (const auto& c : cases) {
        ExpectRefused(c);
    }
}

TEST(FormReaderErrors, NamesThatDoNotResolve)
{
    const BadResource cases[] = {
        {"unresolved reference", WithLine("  ActiveControl = medNada"), 2, 19, "'medNada' is not a component"},
        {"reference of the wrong class", WithLine("  ActiveControl = dts\n  object dts: TTestSource\n  end"), 2, 19,
         "cannot refer to 'dts', a TTestSource"},
        {"reference to another form", WithLine("  ActiveControl = frmOther.medX"), 2, 19, "other forms"},
        {"reference given a string", WithLine("  ActiveControl = 'medX'"), 2, 19, "a component name"},
        {"unresolved handler", WithLine("  OnCreate = FormNada"), 2, 14, "'FormNada' is not a handler"},
        {"handler of another signature", WithLine("  OnCreate = FormClose"), 2, 14,
         "handler 'FormClose' does not fit event 'OnCreate'"},
        {"key-press handler on a notify event", WithLine("  OnExit = EditKeyPress"), 2, 12, "does not fit"},
        {"duplicate name", WithLine("  object a: TTestSource\n  end\n  object A: TTestSource\n  end"), 4, 10,
         "'A' already exists"},
        {"name of the form", WithLine("  object frm: TTestSource\n  end"), 2, 10, "already exists"},
        {"class not creatable", WithLine("  object c: TTestColumn\n  end"), 2, 13, "cannot be created"},
        {"control inside an edit", WithLine("  object e: TTestEdit\n    object s: TTestSource\n    end\n  end"), 3, 5,
         "'e' (TTestEdit) cannot hold 's' (TTestSource)"},
        {"source inside a panel", WithLine("  object p: TTestPanel\n    object s: TTestSource\n    end\n  end"), 3, 5,
         "cannot hold"},
        {"loaded fails", WithLine("  object f: TTestFragile\n  end"), 2, 3, "'f' failed to finish loading: not today"},
    };
    for (const auto& c : cases) {
        ExpectRefused(c);
    }
}

TEST(FormReaderErrors, InheritedBlocksMustNameWhatTheBaseMade)
{
    const BadResource cases[] = {
        {"no such component", "inherited frmDerived: TTestDerivedForm\n  inherited sbtNada: TTestControl\n  end\nend\n",
         2, 13, "inherited component 'sbtNada' does not exist"},
        {"class mismatch", "inherited frmDerived: TTestDerivedForm\n  inherited sbtConfirmar: TTestEdit\n  end\nend\n",
         2, 27, "'sbtConfirmar' is a TTestControl, not a TTestEdit"},
        {"new object reusing a base name",
         "inherited frmDerived: TTestDerivedForm\n  object sbtConfirmar: TTestControl\n  end\nend\n", 2, 10,
         "already exists"},
        {"described twice",
         "inherited frmDerived: TTestDerivedForm\n  inherited panFilial: TTestPanel\n  end\n"
         "  inherited panFilial: TTestPanel\n  end\nend\n",
         4, 13, "described twice"},
    };
    for (const auto& c : cases) {
        ExpectRefused(c, kBaseForm);
    }
}

TEST(FormReaderErrors, DeepNestingIsRefusedNotOverflowed)
{
    std::string text = "object frm: TTestForm\n";
    for (int i = 0; i < 5000; ++i) {
        text += "object p" + std::to_string(i) + ": TTestPanel\n";
    }
    TTestForm form;
    EXPECT_THROW(FormReader::ApplyText(&form, TTestForm::Handlers(), text, "deep.form"), EResourceError);
    EXPECT_EQ(form.ComponentCount(), 0);
}

// No prefix of a sound resource, and no random corruption of one, may do
// anything but read or fail with a resource error.
TEST(FormReaderErrors, CutAndCorruptedResourcesNeverCrash)
{
    const std::string sound = kBaseForm;
    auto tryRead = [](const std::string& text) {
        TTestForm form;
        try {
            FormReader::ApplyText(&form, TTestForm::Handlers(), text, "fuzz.form");
        } catch (const EResourceError&) {
            EXPECT_EQ(form.ComponentCount(), 0) << text;
        }
    };
    for (size_t cut = 0; cut < sound.size(); ++cut) {
        tryRead(sound.substr(0, cut));
    }
    std::mt19937 random(1234);
    const std::string alphabet = "'#$[]()<>{}=:.,+- \n\tabcXYZ019_\xC3\xA7\xE2\x86\x92\x80";
    for (int round = 0; round < 2000; ++round) {
        std::string text = sound;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = alphabet[random() % alphabet.size()]; break;
            case 1: text.erase(at, 1 + random() % 8); break;
            default: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
            }
        }
        tryRead(text);
    }
}
