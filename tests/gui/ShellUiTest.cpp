// The shell's own windows: the error box, the lookup list, the search window
// and the progress window.
#include "GuiTestSupport.h"
#include "TestScreen.h"

#include "host/Session.h"
#include "host/ShellRoutines.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/core/Exception.h"
#include "platform/data/TClientDataSet.h"
#include "shell/gui/GuiShellUi.h"
#include "shell/gui/InputGate.h"
#include "shell/gui/LookupDialog.h"
#include "shell/gui/ProgressWindow.h"
#include "shell/gui/SearchDialog.h"
#include "shell/gui/ShellTexts.h"
#include "shell/gui/ShellWindow.h"

#include <QAbstractItemModel>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

using GuiTest::Cp;

namespace {

class ShellUiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = std::make_unique<TestScreen>();
        ui = std::make_unique<GuiShellUi>(s->shell.get());
        s->data->SetData(TestScreen::Rows(
            {{"00001", "Lavagem"}, {"00002", Cp("Manutenção")}, {"00003", Cp("João Pintura")}, {"00004", "Joaquim"}}));
    }
    void TearDown() override
    {
        ui.reset();
        s.reset();
    }

    std::unique_ptr<TestScreen> s;
    std::unique_ptr<GuiShellUi> ui;
};

// ---- errors

TEST_F(ShellUiTest, MensErroShowsOneMessageBoxWithItsTextAndRoomForItsTitle)
{
    QStringList texts;
    int width = 0;
    QString title;
    GuiTest::ModalDriver driver([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            texts << box->text();
            width = box->width();
            title = box->windowTitle();
        }
        w->close();
    });
    Application().Dispatch([] { MensErro("!", true); });
    EXPECT_EQ(texts, QStringList{"!"});
    // Room for the title and the title bar's icon and buttons.
    EXPECT_GE(width, QFontMetrics(QApplication::font()).horizontalAdvance(title) + 140);
}

// A check that runs as the focus leaves an edit says its message in the
// status line: no box to close at every try.
TEST_F(ShellUiTest, MessageOfACheckOnLeavingAnEditGoesToTheStatusLine)
{
    int boxes = 0;
    GuiTest::ModalDriver driver([&](QWidget* w) {
        ++boxes;
        w->close();
    });
    // As the screen's checks do: the focus back to the edit, then the message.
    s->medCode->SetOnExit([this](TObject*) {
        s->medCode->SetFocus();
        MensErro(Cp("Filial não cadastrada."), true);
    });
    GuiTest::Click(s->WidgetOf(s->edtName), {5, 5});
    GuiTest::Settle();
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(s->form->ActiveControl(), s->medCode);
    EXPECT_EQ(s->shell->statusBar()->currentMessage(), QString::fromUtf8("Filial não cadastrada."));
    Application().Dispatch([] { MensErro(Cp("Filial não cadastrada."), true); });
    EXPECT_EQ(boxes, 1) << "anywhere else, a box";
}

TEST_F(ShellUiTest, ErrorRaisedByAHandlerShowsOneMessageBox)
{
    QStringList texts;
    GuiTest::ModalDriver driver([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            texts << box->text();
        }
        w->close();
    });
    Application().Dispatch([] { throw EDatabaseError("cdsData: Field 'X' not found"); });
    EXPECT_EQ(texts, QStringList{"cdsData: Field 'X' not found"});
}

// ---- lookup list

TEST_F(ShellUiTest, LookupListShowsVisibleFieldsUnderTheirLabels)
{
    LookupDialog dialog("Filial", s->data);
    QAbstractItemModel* model = dialog.Table()->model();
    ASSERT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("Código"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QString("Nome"));
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->index(2, 1).data().toString(), QString::fromUtf8("João Pintura"));
    EXPECT_EQ(dialog.windowTitle(), QString("Filial"));
}

TEST_F(ShellUiTest, LookupListPicksWithEnterFromTheCurrentRow)
{
    s->data->SetRecNo(1);
    GuiTest::ModalDriver driver([](QWidget* w) {
        auto* dialog = qobject_cast<LookupDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Table()->currentIndex().row(), 1);
        QTest::keyClick(dialog->Table(), Qt::Key_Down);
        QTest::keyClick(dialog->Table(), Qt::Key_Return);
    });
    std::optional<int> picked = ui->PickRow(nullptr, "Filial", s->data);
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(*picked, 2);
}

TEST_F(ShellUiTest, LookupListPicksByDoubleClickAndCancelsWithEscape)
{
    GuiTest::ModalDriver pickThird([](QWidget* w) {
        auto* table = qobject_cast<LookupDialog*>(w)->Table();
        QRect cell = table->visualRect(table->model()->index(3, 0));
        GuiTest::DoubleClick(table->viewport(), cell.center());
    });
    EXPECT_EQ(ui->PickRow(nullptr, "Cliente", s->data), std::optional<int>(3));
    EXPECT_EQ(pickThird.Unclosed(), 0);
}

TEST_F(ShellUiTest, LookupListCancelledWithEscapePicksNothing)
{
    GuiTest::ModalDriver cancel([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(ui->PickRow(nullptr, "Cliente", s->data), std::nullopt);
    EXPECT_EQ(cancel.Count(), 1);
}

TEST_F(ShellUiTest, LookupListNarrowsAsTheOperatorTypesAndPicksTheRowLeft)
{
    int shownAfterJo = -1;
    int shownAfterJoao = -1;
    int shownAfterNumber = -1;
    GuiTest::ModalDriver driver([&](QWidget* w) {
        auto* dialog = qobject_cast<LookupDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        // Typed while the list has the focus: the text goes to the filter.
        dialog->Table()->setFocus();
        GuiTest::Type(dialog->Table(), "JO");
        shownAfterJo = dialog->ShownRows();
        GuiTest::Type(dialog->Filter(), QString::fromUtf8("ão"));
        shownAfterJoao = dialog->ShownRows();
        dialog->Filter()->setText("0000");
        shownAfterNumber = dialog->ShownRows();
        dialog->Filter()->setText("jo");
        QTest::keyClick(dialog->Filter(), Qt::Key_Down);
        QTest::keyClick(dialog->Filter(), Qt::Key_Return);
    });
    EXPECT_EQ(ui->PickRow(nullptr, "Cliente", s->data), std::optional<int>(3));
    EXPECT_EQ(shownAfterJo, 2);
    EXPECT_EQ(shownAfterJoao, 1);
    EXPECT_EQ(shownAfterNumber, 4);
}

TEST_F(ShellUiTest, LookupListWithNothingLeftPicksNothingOnEnter)
{
    GuiTest::ModalDriver driver([](QWidget* w) {
        auto* dialog = qobject_cast<LookupDialog*>(w);
        GuiTest::Type(dialog->Filter(), "zzz");
        QTest::keyClick(dialog->Filter(), Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClick(dialog->Filter(), Qt::Key_Escape);
    });
    EXPECT_EQ(ui->PickRow(nullptr, "Cliente", s->data), std::nullopt);
}

TEST_F(ShellUiTest, EmptyLookupShowsItsText)
{
    QString text;
    GuiTest::ModalDriver driver([&](QWidget* w) {
        text = qobject_cast<QMessageBox*>(w)->text();
        w->close();
    });
    ui->ShowEmptyLookup(nullptr, Cp("Não há filial cadastrada."));
    EXPECT_EQ(text, QString::fromUtf8("Não há filial cadastrada."));
}

// ---- search window

TEST_F(ShellUiTest, SearchMovesTheCurrentRowIgnoringCaseAndAccents)
{
    TCustomForm* activeWhileOpen = nullptr;
    TCustomForm* searchForm = nullptr;
    std::string searchFormName;
    int rowAfterTyping = -1;
    GuiTest::ModalDriver driver([&](QWidget* w) {
        auto* dialog = qobject_cast<SearchDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        activeWhileOpen = Application().ActiveForm();
        searchForm = frmProcurar;
        searchFormName = searchForm != nullptr ? searchForm->Name() : "";
        QTest::keyClicks(dialog->Edit(), "joao");
        rowAfterTyping = s->data->RecNo();
        EXPECT_EQ(dialog->Table()->currentIndex().row(), rowAfterTyping);
        QTest::keyClick(dialog->Edit(), Qt::Key_Return);
    });
    Procura(s->data);
    ASSERT_NE(searchForm, nullptr);
    EXPECT_EQ(activeWhileOpen, searchForm);
    EXPECT_EQ(searchFormName, "frmProcurar");
    EXPECT_EQ(rowAfterTyping, 2);
    EXPECT_EQ(s->data->RecNo(), 2);
    EXPECT_EQ(frmProcurar, nullptr);
    EXPECT_EQ(Application().ActiveForm(), s->form);
    // The search window's form never got a document window.
    EXPECT_EQ(s->shell->MdiArea()->subWindowList().size(), 1);
}

TEST_F(ShellUiTest, SearchForNothingThatMatchesLeavesTheRowAndSaysSo)
{
    s->data->SetRecNo(1);
    QString saidWhenNothing;
    bool saidWhenFound = true; // before anything is typed
    GuiTest::ModalDriver driver([&](QWidget* w) {
        auto* dialog = qobject_cast<SearchDialog*>(w);
        saidWhenFound = dialog->Outcome()->isVisible();
        QTest::keyClicks(dialog->Edit(), "zzz");
        saidWhenNothing = dialog->Outcome()->isVisible() ? dialog->Outcome()->text() : QString();
        QTest::keyClick(dialog->Edit(), Qt::Key_Escape);
    });
    Procura(s->data);
    EXPECT_EQ(s->data->RecNo(), 1);
    EXPECT_TRUE(saidWhenNothing.contains(QStringLiteral("\"zzz\""))) << saidWhenNothing.toStdString();
    EXPECT_FALSE(saidWhenFound);
}

// ---- progress window

TEST_F(ShellUiTest, ProgressWindowShowsTheTextWithABusyIndicator)
{
    ActiveShowAvi(s->form, 6, Cp("Atualizando Serviços por Cliente..."));
    ProgressWindow* progress = ui->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->Text(), QString::fromUtf8("Atualizando Serviços por Cliente..."));
    EXPECT_EQ(progress->Bar()->minimum(), 0);
    EXPECT_EQ(progress->Bar()->maximum(), 0);
    ActiveShowAvi(s->form, 6, "Outro");
    EXPECT_EQ(ui->Progress(), progress);
    EXPECT_EQ(progress->Text(), QString("Outro"));
    DeactiveShowAvi();
    EXPECT_EQ(ui->Progress(), nullptr);
}

// A window is moved as little as keeps it within the screen, its top-left
// corner (and so its title bar) inside even when it is larger.
TEST(ProgressWindowPlace, WithinMovesTheFrameOntoTheArea)
{
    const QRect area(0, 0, 800, 600);
    const struct {
        QRect frame;
        QPoint expected;
    } cases[] = {
        {{100, 100, 320, 120}, {100, 100}}, {{700, 550, 320, 120}, {480, 480}}, {{-200, -50, 320, 120}, {0, 0}},
        {{-10, 700, 320, 120}, {0, 480}},   {{50, 50, 900, 700}, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressWindow::Within(c.frame, area), c.expected) << c.frame.x() << "," << c.frame.y();
    }
}

// Wherever the main window lies, the progress window opens centred on it as
// far as the screen allows, its title bar on the screen.
TEST_F(ShellUiTest, ProgressWindowOpensCentredOnTheMainWindowWithItsTitleBarOnTheScreen)
{
    const QRect area = s->shell->screen()->availableGeometry();
    const QPoint places[] = {area.center() - QPoint(300, 200), area.bottomRight() - QPoint(50, 50),
                             area.topLeft() - QPoint(500, 400)};
    s->shell->resize(600, 400);
    for (const QPoint& place : places) {
        s->shell->move(place);
        GuiTest::Settle();
        ActiveShowAvi(s->form, 6, "Aguarde");
        ProgressWindow* progress = ui->Progress();
        ASSERT_NE(progress, nullptr);
        const QRect frame = progress->frameGeometry();
        EXPECT_TRUE(area.contains(frame.topLeft())) << place.x() << "," << place.y();
        EXPECT_TRUE(area.contains(frame)) << place.x() << "," << place.y();
        if (area.contains(s->shell->frameGeometry())) {
            EXPECT_LE((frame.center() - s->shell->frameGeometry().center()).manhattanLength(), 1)
                << frame.x() << "," << frame.y();
        }
        EXPECT_FALSE(progress->CancelButton()->isVisible());
        DeactiveShowAvi();
    }
}

// ---- questions

// The operator answers a question by a button, Enter (the first choice),
// Escape or the close box, also while a command's progress window drops the
// input to every other window.
TEST_F(ShellUiTest, QuestionAnswersTheChoiceMadeOrTheEscapeChoice)
{
    struct Case {
        const char* what;
        std::function<void(QMessageBox*)> answer;
        int escapeChoice;
        int expected;
    };
    auto buttonsInOrder = [](QMessageBox* box) {
        QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
        std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
            return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
        });
        return buttons;
    };
    const Case cases[] = {
        {"second button", [&](QMessageBox* box) { QTest::mouseClick(buttonsInOrder(box).at(1), Qt::LeftButton); }, 2,
         1},
        {"Enter", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, 2, 0},
        {"Escape", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, 2, 2},
        {"Escape with no choice for it", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, -1, -1},
        {"close box", [](QMessageBox* box) { box->close(); }, -1, -1},
    };
    ActiveShowAvi(s->form, 6, "Gravando");
    ASSERT_TRUE(ui->Gate()->IsClosed());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString text;
        QStringList buttons;
        GuiTest::ModalDriver driver([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            text = box->text();
            for (QPushButton* button : buttonsInOrder(box)) {
                buttons << button->text();
            }
            c.answer(box);
        });
        int choice =
            ui->Ask(s->form, Cp("Gravar as alterações?"), {"Gravar", Cp("Não gravar"), "Cancelar"}, c.escapeChoice);
        EXPECT_EQ(choice, c.expected);
        EXPECT_EQ(driver.Unclosed(), 0);
        EXPECT_EQ(text, QString::fromUtf8("Gravar as alterações?"));
        EXPECT_EQ(buttons, (QStringList{"Gravar", QString::fromUtf8("Não gravar"), "Cancelar"}));
    }
    DeactiveShowAvi();
}

// ---- Qt's own texts

TEST_F(ShellUiTest, QtsOwnButtonsFollowTheSessionsLanguage)
{
    std::string language = Session::Current().Language();
    Session::Current().Set("Language", "pt_BR");
    ASSERT_TRUE(ShellTexts::InstallQtTranslations()) << "qt6-translations-l10n is not installed";
    QDialogButtonBox portuguese(QDialogButtonBox::Cancel);
    EXPECT_EQ(portuguese.button(QDialogButtonBox::Cancel)->text(), QString("Cancelar"));
    Session::Current().Set("Language", "en");
    EXPECT_TRUE(ShellTexts::InstallQtTranslations());
    QDialogButtonBox english(QDialogButtonBox::Cancel);
    EXPECT_EQ(english.button(QDialogButtonBox::Cancel)->text(), QString("Cancel"));
    Session::Current().Set("Language", language);
    ShellTexts::InstallQtTranslations();
}

} // namespace
