// The shell's main window: one document window per form with its state
// mirrored both ways, the close box, the active form's menu, the screen-wide
// cursor and the status bar.
#include "GuiTestSupport.h"
#include "TestScreen.h"

#include "host/Session.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TMainMenu.h"
#include "platform/controls/TMenuItem.h"
#include "shell/ShellMainForm.h"
#include "shell/gui/FormView.h"
#include "shell/gui/MenuMirror.h"
#include "shell/gui/ShellWindow.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMdiArea>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using GuiTest::Cp;

namespace {

bool FormExists(const TCustomForm* form)
{
    const auto& forms = Application().Forms();
    return std::find(forms.begin(), forms.end(), form) != forms.end();
}

class ShellWindowTest : public ::testing::Test {
protected:
    void SetUp() override { s = std::make_unique<TestScreen>(); }
    void TearDown() override { s.reset(); }
    std::unique_ptr<TestScreen> s;
};

TEST_F(ShellWindowTest, FormGetsADocumentWindowWithItsCaption)
{
    FormView* view = s->View();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->mdiArea(), s->shell->MdiArea());
    EXPECT_EQ(view->windowTitle(), QString::fromUtf8("Serviço de teste"));
    EXPECT_EQ(view->pos(), QPoint(10, 10));
    s->form->SetCaption("Outro");
    EXPECT_EQ(view->windowTitle(), QString("Outro"));
    // The main form is the main window itself.
    EXPECT_EQ(s->shell->ViewOf(s->mainForm), nullptr);
}

TEST_F(ShellWindowTest, WindowStateIsMirroredBothWays)
{
    FormView* view = s->View();
    s->shell->show();
    s->form->SetWindowState(TWindowState::wsMaximized);
    GuiTest::Settle();
    EXPECT_TRUE(view->isMaximized());
    // Maximized, it fills the main window's work area: nothing to scroll to.
    QMdiArea* area = s->shell->MdiArea();
    EXPECT_EQ(view->geometry(), area->viewport()->rect());
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(area->verticalScrollBar()->isVisible());
    view->showNormal();
    EXPECT_EQ(s->form->WindowState(), TWindowState::wsNormal);
    // The same through the window's own maximize button.
    view->showMaximized();
    GuiTest::Settle();
    EXPECT_EQ(s->form->WindowState(), TWindowState::wsMaximized);
    EXPECT_TRUE(view->isMaximized());
    EXPECT_EQ(view->geometry(), area->viewport()->rect());
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
    view->showNormal();
    GuiTest::Settle();
    view->showMinimized();
    EXPECT_EQ(s->form->WindowState(), TWindowState::wsMinimized);
    s->form->SetWindowState(TWindowState::wsNormal);
    EXPECT_FALSE(view->isMinimized());
    EXPECT_FALSE(view->isMaximized());
}

TEST_F(ShellWindowTest, CloseBoxAsksTheFormWhichMayRefuse)
{
    int closes = 0;
    s->form->SetOnClose([&](TObject*, TCloseAction& Action) {
        ++closes;
        Action = TCloseAction::caNone;
    });
    FormView* view = s->View();
    view->close();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(s->form->Visible());
}

TEST_F(ShellWindowTest, CloseBoxFreeingTheFormTakesItsWindowAway)
{
    int closes = 0;
    s->form->SetOnClose([&](TObject*, TCloseAction& Action) {
        ++closes;
        Action = TCloseAction::caFree;
    });
    QPointer<FormView> view = s->View();
    view->close();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(FormExists(s->form));
    GuiTest::Settle();
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(s->shell->MdiArea()->subWindowList().isEmpty());
}

TEST_F(ShellWindowTest, HiddenFormHidesItsWindowAndShowsItAgain)
{
    FormView* view = s->View();
    s->form->Hide();
    EXPECT_FALSE(view->isVisible());
    s->form->Show();
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(s->shell->MdiArea()->activeSubWindow(), view);
}

TEST_F(ShellWindowTest, ActivatingAWindowActivatesItsFormAndBack)
{
    auto* second = new TForm(&Application());
    second->SetName("frmSecond");
    second->SetFormStyle(TFormStyle::fsMDIChild);
    second->SetBounds(40, 40, 200, 120);
    second->Show();
    FormView* first = s->View();
    FormView* other = s->shell->ViewOf(second);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(s->shell->MdiArea()->activeSubWindow(), other);

    s->shell->MdiArea()->setActiveSubWindow(first);
    EXPECT_EQ(Application().ActiveForm(), s->form);
    second->BringToFront();
    EXPECT_EQ(s->shell->MdiArea()->activeSubWindow(), other);
    delete second;
    GuiTest::Settle();
    EXPECT_EQ(s->shell->ViewOf(second), nullptr);
}

TEST_F(ShellWindowTest, HourglassBecomesTheWaitCursor)
{
    Application().SetCursor(crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Application().SetCursor(crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ShellWindowTest, StatusBarShowsTheSessionsBranchAndServer)
{
    Session::Current().LoadFromText("[session]\nFiliProc = 0007\nFiliProcFat = 0001\n"
                                    "NomeFiliProcFat = Matriz\nModuFili = 0\nModuloAtiv = 15\n"
                                    "WebURL = 10.1.2.3\nWebPort = 2110\nLocalDatabase = x.db\n",
                                    "test.ini");
    s->shell->UpdateStatus();
    EXPECT_TRUE(s->shell->BranchText().contains("0007"));
    EXPECT_TRUE(s->shell->ServerText().contains("10.1.2.3:2110"));
    Session::Current().Set("FiliProc", "0008");
    s->shell->UpdateStatus();
    EXPECT_EQ(s->shell->BranchText(), QString("Filial: 0008"));
    // The frame speaks the session's language too.
    Session::Current().Set("Language", "en");
    EXPECT_EQ(s->shell->BranchText(), QString("Branch: 0008"));
    EXPECT_EQ(s->shell->ServerText(), QString("Server: 10.1.2.3:2110"));
    Session::Current().Set("Language", "pt_BR");
}

TEST_F(ShellWindowTest, ActiveFormsMenuJoinsTheMenuBar)
{
    auto* menu = new TMainMenu(s->form);
    auto* record = new TMenuItem(s->form);
    record->SetCaption("&Registro");
    menu->Items()->Add(record);
    auto* search = new TMenuItem(s->form);
    search->SetCaption("&Procurar");
    int searches = 0;
    search->SetOnClick([&](TObject*) { ++searches; });
    record->Add(search);
    // The menu is read when the form becomes the active one.
    s->shell->Menus()->Follow(nullptr);
    s->shell->SyncForms();

    QAction* action = s->shell->Menus()->ActionOf(search);
    ASSERT_NE(action, nullptr);
    QAction* top = s->shell->Menus()->ActionOf(record);
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(s->shell->menuBar()->actions().contains(top));
    action->trigger();
    EXPECT_EQ(searches, 1);
    search->SetEnabled(false);
    EXPECT_FALSE(action->isEnabled());
    action->trigger();
    EXPECT_EQ(searches, 1);
}

// ---- the main window's place and keys

class ShellPlaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GuiTest::EnsureApp();
        QSettings().remove("MainWindow");
    }
    void TearDown() override { QSettings().remove("MainWindow"); }
};

TEST_F(ShellPlaceTest, MainWindowReopensWithTheSizePlaceAndStateItClosedWith)
{
    QRect placed;
    {
        ShellWindow first(nullptr);
        EXPECT_EQ(first.size(), QSize(1100, 720)) << "nothing saved yet";
        first.setGeometry(130, 90, 800, 500);
        first.show();
        placed = first.geometry();
        first.close();
    }
    {
        ShellWindow second(nullptr);
        EXPECT_EQ(second.geometry(), placed);
        EXPECT_FALSE(second.windowState() & Qt::WindowMaximized);
        second.showMaximized();
        second.close();
    }
    ShellWindow third(nullptr);
    EXPECT_TRUE(third.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(third.normalGeometry().size(), placed.size());
}

TEST_F(ShellPlaceTest, APlaceSavedMostlyOffScreenComesBackWholeOnScreen)
{
    QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    {
        ShellWindow first(nullptr);
        first.show();
        first.setGeometry(work.right() - 50, work.bottom() - 50, 400, 300);
        first.close();
    }
    ShellWindow second(nullptr);
    EXPECT_EQ(second.size(), QSize(400, 300));
    EXPECT_TRUE(work.contains(second.geometry())) << second.x() << "," << second.y();
}

TEST_F(ShellPlaceTest, QuitHasCtrlQ)
{
    ShellWindow window(nullptr);
    window.show();
    window.activateWindow();
    (void)QTest::qWaitForWindowActive(&window);
    EXPECT_TRUE(window.QuitAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
