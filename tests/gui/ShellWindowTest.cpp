// The shell's main window: one document window per form with its state
// mirrored both ways, the close box, the active form's menu, the screen-wide
// cursor and the status bar.
#include "GuiTestSupport.h"
#include "TestScreen.h"

#include "host/Session.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMainMenu.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TMenuItem.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TSplitter.h"
#include "shell/ShellMainForm.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormSurface.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/MenuMirror.h"
#include "shell/gui/ShellTexts.h"
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

// The screen's window as the main window around it changes: maximized it
// follows the main window's size, its title is not repeated; opened in a
// small main window it comes whole inside it; it is never made smaller than
// its controls need.
TEST_F(ShellWindowTest, MaximizedScreenFollowsTheMainWindowAndItsTitleIsNotRepeated)
{
    FormView* view = s->View();
    QMdiArea* area = s->shell->MdiArea();
    // A screen named as the application, in whatever language it speaks.
    const QString app = ShellTexts::Text(ShellTexts::kApplicationName);
    s->form->SetCaption(GuiConvert::FromQt(app).value_or(""));
    s->form->SetWindowState(TWindowState::wsMaximized);
    GuiTest::Settle();
    for (QSize size : {QSize(1300, 860), QSize(900, 600), QSize(1100, 720)}) {
        SCOPED_TRACE(size.width());
        s->shell->resize(size);
        GuiTest::Settle();
        EXPECT_TRUE(view->isMaximized());
        EXPECT_EQ(view->geometry(), area->viewport()->rect());
        EXPECT_EQ(s->form->ClientWidth(), view->Surface()->width());
        EXPECT_EQ(s->shell->windowTitle().count(app), 1) << s->shell->windowTitle().toStdString();
    }
    view->showNormal();
    GuiTest::Settle();
    EXPECT_TRUE(area->viewport()->rect().contains(view->geometry()));
    EXPECT_EQ(s->shell->windowTitle().count(app), 1) << s->shell->windowTitle().toStdString();
}

TEST_F(ShellWindowTest, ScreenOpensWholeInASmallMainWindowAndKeepsItsLeastSize)
{
    s->form->Hide();
    GuiTest::Settle();
    s->shell->resize(560, 420);
    GuiTest::Settle();
    // Placed where a larger main window would have room for it.
    s->form->SetBounds(300, 200, 520, 360);
    TForm* other = new TForm(&Application());
    other->SetFormStyle(TFormStyle::fsMDIChild);
    other->SetBounds(300, 200, 520, 360);
    other->Show();
    GuiTest::Settle();
    FormView* view = s->shell->ViewOf(other);
    ASSERT_NE(view, nullptr);
    QRect room = s->shell->MdiArea()->viewport()->rect();
    EXPECT_TRUE(room.contains(view->geometry())) << view->geometry().x() << "," << view->geometry().y();
    EXPECT_EQ(QPoint(other->Left(), other->Top()), view->pos());
    delete other;
    GuiTest::Settle();

    // Shrunk as far as it goes: every control is still whole inside it.
    s->form->Show();
    GuiTest::Settle();
    FormView* screen = s->View();
    screen->resize(100, 80);
    GuiTest::Settle();
    QSize least = screen->LeastClientSize();
    EXPECT_GE(screen->Surface()->width(), least.width());
    EXPECT_GE(screen->Surface()->height(), least.height());
    for (TControl* c : std::vector<TControl*>{s->medCode, s->edtName, s->list, s->grid, s->transfer.back()}) {
        QWidget* w = s->WidgetOf(c);
        QRect inSurface(w->mapTo(screen->Surface(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(screen->Surface()->rect().contains(inSurface)) << c->Name();
        EXPECT_GE(w->width(), 20) << c->Name();
    }
}

// The list and the grid share the width as the window grows; the share the
// operator drags to is kept for the next time.
TEST_F(ShellWindowTest, ListAndGridShareTheWidthAndTheDraggedShareIsRemembered)
{
    FormView* view = s->View();
    auto share = [this] { return static_cast<double>(s->list->Width()) / (s->list->Width() + s->grid->Width()); };
    EXPECT_NEAR(share(), 0.5, 0.02);
    view->resize(view->size() + QSize(300, 0));
    GuiTest::Settle();
    EXPECT_NEAR(share(), 0.5, 0.02);
    QWidget* bar = s->WidgetOf(s->splitter);
    GuiTest::Mouse(bar, QEvent::MouseButtonPress, {1, 20});
    GuiTest::Mouse(bar, QEvent::MouseMove, {-99, 20});
    GuiTest::Mouse(bar, QEvent::MouseButtonRelease, {-99, 20});
    double dragged = share();
    EXPECT_LT(dragged, 0.4);
    view->resize(view->size() - QSize(200, 0));
    GuiTest::Settle();
    EXPECT_NEAR(share(), dragged, 0.02);

    s.reset();
    QSettings settings;
    EXPECT_TRUE(settings.contains("Splitters/frmTest.splList"));
    s = std::make_unique<TestScreen>(false);
    EXPECT_NEAR(share(), dragged, 0.02);
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

    // While a long command defers the controls' changes, the menu's wait
    // with them, and show the last state once the event loop turns.
    ControlView::DeferSyncs(true);
    search->SetEnabled(true);
    search->SetCaption("&Buscar");
    EXPECT_FALSE(action->isEnabled());
    QApplication::processEvents();
    EXPECT_TRUE(action->isEnabled());
    EXPECT_EQ(action->text(), QString("&Buscar"));
    ControlView::DeferSyncs(false);
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
