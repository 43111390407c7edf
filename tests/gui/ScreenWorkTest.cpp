// The typical piece of work on the real screen, through the real widgets,
// against a real application server over the seeded demo data: the branch
// typed, a client picked in the lookup list, two services selected and
// moved, one moved back, all moved back. After every step the widgets must
// show what the model holds.
//
// With SERVCLIENTE_SCREENSHOT=FILE the main window is saved as a PNG while
// the client's services are shown; with SERVCLIENTE_SCREENSHOT_EN=FILE, the
// same in an English session with the screen maximized.
#include "GuiTestSupport.h"

#include "host/Session.h"
#include "host/TdtmDBGeral.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomEdit.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSet.h"
#include "platform/data/TField.h"
#include "platform/net/RemoteClient.h"
#include "platform/net/ServClienteContract.h"
#include "shell/PackageHost.h"
#include "shell/ShellMainForm.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/CountedHeader.h"
#include "shell/gui/DropRoutes.h"
#include "shell/gui/FormSurface.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GridModel.h"
#include "shell/gui/GridView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/GuiShellUi.h"
#include "shell/gui/InputGate.h"
#include "shell/gui/ListBoxModel.h"
#include "shell/gui/ListBoxView.h"
#include "shell/gui/LookupDialog.h"
#include "shell/gui/ProgressWindow.h"
#include "shell/gui/SearchDialog.h"
#include "shell/gui/ShellWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The application server over a database of its own, on a free port.
class ServerProcess {
public:
    explicit ServerProcess(const std::string& db)
    {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        std::string bin = std::string(TEST_BIN_DIR) + "/appserver";
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::freopen("/dev/null", "w", stderr);
            std::string dbArg = db;
            std::vector<char*> argv = {bin.data(),
                                       const_cast<char*>("--db"),
                                       dbArg.data(),
                                       const_cast<char*>("--listen"),
                                       const_cast<char*>("127.0.0.1:0"),
                                       nullptr};
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = fdopen(out[0], "r");
        char line[256];
        if (out_ != nullptr && std::fgets(line, sizeof line, out_) != nullptr) {
            std::string first = line;
            auto colon = first.rfind(':');
            if (first.rfind("listening on ", 0) == 0 && colon != std::string::npos) {
                port_ = std::atoi(first.c_str() + colon + 1);
            }
        }
    }
    ~ServerProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        if (out_ != nullptr) {
            std::fclose(out_);
        }
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    int port_ = 0;
};

// The contrast ratio of two colours, from their relative luminance.
double ContrastRatio(const QColor& a, const QColor& b)
{
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    double la = luminance(a);
    double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class ScreenWorkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GuiTest::EnsureApp();
        QSettings().remove("Splitters");
        char tmpl[] = "/tmp/servcliente-gui-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::string bin = std::string(TEST_BIN_DIR) + "/appserver";
        std::string seed =
            "'" + bin + "' seed --db '" + dir_ + "/server.db' --local-db '" + dir_ + "/local.db' > /dev/null 2>&1";
        ASSERT_EQ(std::system(seed.c_str()), 0) << seed;
        server_ = std::make_unique<ServerProcess>(dir_ + "/server.db");
        ASSERT_GT(server_->Port(), 0);
        std::ofstream session(dir_ + "/session.ini");
        session << "[session]\nFiliProc = 0001\nFiliProcFat = 0001\nNomeFiliProcFat = Matriz São Paulo\n"
                   "ModuFili = 0\nModuloAtiv = 15\nWebURL = 127.0.0.1\nWebPort = "
                << server_->Port() << "\nLocalDatabase = " << dir_ << "/local.db\n";
        if (!language_.empty()) {
            session << "Language = " << language_ << "\n";
        }
        session.close();
        Session::Current().LoadFromFile(dir_ + "/session.ini");
        TdtmDBGeral::Instance().SetDatabase(dir_ + "/local.db");

        mainForm_ = new ShellMainForm(&Application());
        Application().SetMainForm(mainForm_);
        package_ = std::make_unique<PackageHost>(std::string(TEST_BIN_DIR) + "/PKG_ZEL31500.so");
        shell_ = std::make_unique<ShellWindow>(package_.get());
        ui_ = std::make_unique<GuiShellUi>(shell_.get());
        shell_->show();
        shell_->activateWindow();
        (void)QTest::qWaitForWindowActive(shell_.get());
        // Lookup lists pick their current row; any message box is an error
        // the operator would have seen.
        modals_ = std::make_unique<GuiTest::ModalDriver>([this](QWidget* w) {
            if (auto* lookup = qobject_cast<LookupDialog*>(w)) {
                ++lookups_;
                if (const char* file = std::getenv("SERVCLIENTE_LOOKUP_SCREENSHOT")) {
                    GuiTest::Type(lookup->Filter(), "padaria");
                    GuiTest::Settle();
                    EXPECT_TRUE(lookup->grab().save(QString::fromLocal8Bit(file), "PNG"));
                }
                QTest::keyClick(lookup->Table(), Qt::Key_Return);
            } else if (auto* search = qobject_cast<SearchDialog*>(w)) {
                ++searches_;
                searchHeadings_.clear();
                for (int c = 0; c < search->Table()->model()->columnCount(); ++c) {
                    searchHeadings_ << search->Table()->model()->headerData(c, Qt::Horizontal).toString();
                }
                GuiTest::Type(search->Edit(), searchText_);
                QTest::keyClick(search->Edit(), Qt::Key_Return);
            } else {
                if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    errors_ << box->text();
                }
                w->close();
            }
        });
    }

    void TearDown() override
    {
        modals_.reset();
        ui_.reset();
        shell_.reset();
        if (package_ != nullptr) {
            package_->Unload();
        }
        package_.reset();
        if (mainForm_ != nullptr) {
            delete mainForm_;
        }
        Application().SetMainForm(nullptr);
        GuiTest::Settle();
        server_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    template <class T>
    T* Model(const char* name) const
    {
        return dynamic_cast<T*>(screen_->FindComponent(name));
    }
    template <class W>
    W* Widget(const char* name) const
    {
        return dynamic_cast<W*>(
            shell_->ViewOf(screen_)->WidgetOf(dynamic_cast<TControl*>(screen_->FindComponent(name))));
    }

    // Every widget shows what its control holds.
    void ExpectWidgetsShowTheModel(const char* step)
    {
        GuiTest::Settle();
        SCOPED_TRACE(step);
        for (const char* name : {"medCdFilial", "edtNmFilial", "medCliente", "edtCliente"}) {
            auto* edit = Model<TCustomEdit>(name);
            ASSERT_NE(edit, nullptr) << name;
            EXPECT_EQ(Widget<QLineEdit>(name)->text(), GuiConvert::ToQt(edit->DisplayText())) << name;
            EXPECT_EQ(Widget<QLineEdit>(name)->isEnabled(), edit->IsEnabledInChain()) << name;
        }
        auto* list = Model<TListBox>("lsbPossiveis");
        ListBoxModel* items = Widget<ListBoxView>("lsbPossiveis")->ItemModel();
        ASSERT_EQ(items->rowCount(), list->Count());
        for (int i = 0; i < list->Count(); ++i) {
            EXPECT_EQ(items->index(i).data().toString(), GuiConvert::ToQt(list->Item(i)));
            EXPECT_EQ(items->index(i).data(Qt::BackgroundRole).isValid(), list->Selected(i));
        }
        auto* grid = Model<TDBGrid>("dbgPadrao");
        GridModel* rows = Widget<GridView>("dbgPadrao")->TableModel();
        TDataSet* shown = grid->ShownDataSet();
        ASSERT_EQ(rows->rowCount(), shown != nullptr ? shown->RecordCount() : 0);
        for (int r = 0; r < rows->rowCount(); ++r) {
            EXPECT_EQ(rows->index(r, 0).data().toString(),
                      GuiConvert::ToQt(shown->RowValue(r, shown->FieldByName("CDSERVFILI")->Index()).value_or("")));
        }
        for (const char* name : {"sbtEscolhido", "sbtTodos", "sbtUmEsquerda", "sbtTodosEsquerda"}) {
            EXPECT_EQ(Widget<QToolButton>(name)->isEnabled(), Model<TSpeedButton>(name)->Enabled()) << name;
        }
        QWidget* focused = shell_->ViewOf(screen_)->WidgetOf(screen_->ActiveControl());
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused->hasFocus());
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
    }

    // The screen opened, the branch and a client picked, both lists loaded
    // with the focus in the list of possible services.
    void OpenWithListsLoaded()
    {
        shell_->OpenScreen();
        GuiTest::Settle();
        screen_ = package_->ScreenGlobal();
        ASSERT_NE(screen_, nullptr) << errors_.join("\n").toStdString();
        QTest::mouseClick(Widget<QToolButton>("btnCliente"), Qt::LeftButton);
        ASSERT_EQ(lookups_, 1);
        auto* listView = Widget<ListBoxView>("lsbPossiveis");
        GuiTest::Click(listView->viewport(), {5, listView->viewport()->height() - 3});
        GuiTest::Settle();
        ASSERT_GE(Model<TListBox>("lsbPossiveis")->Count(), 3);
        ASSERT_NE(Model<TDBGrid>("dbgPadrao")->ShownDataSet(), nullptr);
    }

    // Hands the view of the control named To a drag from the control named
    // From, then drops it there; whether the drag was accepted over it.
    bool DropOn(const char* from, const char* to)
    {
        auto* source = Model<TControl>(from);
        QWidget* widget = Widget<QWidget>(to);
        auto* grid = dynamic_cast<GridView*>(widget);
        auto* list = dynamic_cast<ListBoxView*>(widget);
        std::unique_ptr<QMimeData> mime(DropRoutes::Encode(source));
        QPoint at(10, 10);
        QDragMoveEvent over(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        if (grid != nullptr) {
            grid->dragMoveEvent(&over);
        } else {
            list->dragMoveEvent(&over);
        }
        // Dropped even where refused: the drop itself must move nothing then.
        QDropEvent drop(QPointF(at), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        if (grid != nullptr) {
            grid->dropEvent(&drop);
        } else {
            list->dropEvent(&drop);
        }
        GuiTest::Settle();
        return over.isAccepted();
    }

    // The index of the list's entry of a service code, or -1.
    int EntryOf(const char* code) const
    {
        const auto& items = Model<TListBox>("lsbPossiveis")->Items();
        auto at = std::find_if(items.begin(), items.end(),
                               [code](const std::string& item) { return item.rfind(code, 0) == 0; });
        return at != items.end() ? static_cast<int>(at - items.begin()) : -1;
    }

    // Every assignment the server's database holds, as client and service
    // codes, read by a connection of the test's own.
    std::set<std::pair<std::string, std::string>> StoredAssignments() const
    {
        std::set<std::pair<std::string, std::string>> rows;
        for (const auto& row : Select("SELECT CDCLIENTE, CDSERVFILI FROM SERVCLIE")) {
            rows.insert(row);
        }
        return rows;
    }

    // The first two columns of a query's rows, read from the server's
    // database by a connection of the test's own.
    std::vector<std::pair<std::string, std::string>> Select(const std::string& sql) const
    {
        std::vector<std::pair<std::string, std::string>> rows;
        sqlite3* db = nullptr;
        std::string path = dir_ + "/server.db";
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
                while (sqlite3_step(stmt) == SQLITE_ROW) {
                    rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                      reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
                }
            }
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        return rows;
    }

    // A client of the branch 0001 of a person kind ("F" or "J"): its
    // registration number and name.
    std::pair<std::string, std::string> ClientOfKind(const char* kind) const
    {
        auto rows =
            Select("SELECT NRINSJURCLIE, NMRAZSOCCLIE FROM CLIENTE WHERE CDFILIAL = '0001' AND IDTPIJURCLIE = '" +
                   std::string(kind) + "' ORDER BY CDCLIENTE LIMIT 1");
        return rows.empty() ? std::pair<std::string, std::string>() : rows.front();
    }

    // The screen opened, the focus in the client's edit.
    void OpenInTheClientEdit()
    {
        shell_->OpenScreen();
        GuiTest::Settle();
        screen_ = package_->ScreenGlobal();
        ASSERT_NE(screen_, nullptr) << errors_.join("\n").toStdString();
        GuiTest::Click(Widget<QLineEdit>("medCliente"), {5, 5});
        ASSERT_EQ(screen_->ActiveControl(), Model<TCustomEdit>("medCliente"));
    }

    // The name of the control with the model's focus, or of the transfer
    // button holding the Qt focus.
    std::string FocusName() const
    {
        if (auto* button = dynamic_cast<ControlView*>(QApplication::focusWidget());
            button != nullptr && dynamic_cast<QToolButton*>(QApplication::focusWidget()) != nullptr) {
            return button->Control()->Name();
        }
        return screen_->ActiveControl() != nullptr ? screen_->ActiveControl()->Name() : "";
    }

    QPoint RowCentre(const char* list, int row) const
    {
        auto* view = Widget<ListBoxView>(list);
        return view->visualRect(view->ItemModel()->index(row)).center();
    }

    std::string language_;
    std::string dir_;
    std::unique_ptr<ServerProcess> server_;
    ShellMainForm* mainForm_ = nullptr;
    std::unique_ptr<PackageHost> package_;
    std::unique_ptr<ShellWindow> shell_;
    std::unique_ptr<GuiShellUi> ui_;
    std::unique_ptr<GuiTest::ModalDriver> modals_;
    TCustomForm* screen_ = nullptr;
    QStringList errors_;
    int lookups_ = 0;
    // What the search window is given, and how many opened.
    QString searchText_;
    int searches_ = 0;
    QStringList searchHeadings_;
};

TEST_F(ScreenWorkTest, BranchClientTwoMovedOneBackAllBack)
{
    shell_->OpenScreen();
    GuiTest::Settle();
    screen_ = package_->ScreenGlobal();
    ASSERT_NE(screen_, nullptr) << errors_.join("\n").toStdString();
    ASSERT_NE(shell_->ViewOf(screen_), nullptr);
    ExpectWidgetsShowTheModel("opened");
    // The name edits stay disabled, their text readable on their colour.
    for (const char* name : {"edtNmFilial", "edtCliente"}) {
        QLineEdit* edit = Widget<QLineEdit>(name);
        ASSERT_FALSE(edit->isEnabled()) << name;
        QPalette palette = edit->palette();
        EXPECT_GE(ContrastRatio(palette.color(QPalette::Disabled, QPalette::Text),
                                palette.color(QPalette::Disabled, QPalette::Base)),
                  4.5)
            << name;
    }

    // The branch, typed over what the session put there; Tab validates it.
    auto* branch = Widget<QLineEdit>("medCdFilial");
    GuiTest::Click(branch, {5, 5});
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(branch, Qt::Key_Backspace);
    }
    QTest::keyClicks(branch, "0001");
    EXPECT_EQ(Model<TCustomEdit>("medCdFilial")->Text(), "0001");
    QTest::keyClick(branch, Qt::Key_Tab);
    EXPECT_EQ(screen_->ActiveControl(), Model<TCustomEdit>("medCliente"));
    EXPECT_EQ(Widget<QLineEdit>("edtNmFilial")->text(), QString::fromUtf8("Matriz São Paulo"));
    ExpectWidgetsShowTheModel("branch typed");

    // The client, picked in the lookup list.
    QTest::mouseClick(Widget<QToolButton>("btnCliente"), Qt::LeftButton);
    EXPECT_EQ(lookups_, 1);
    EXPECT_FALSE(Model<TCustomEdit>("medCliente")->Text().empty());
    EXPECT_FALSE(Widget<QLineEdit>("edtCliente")->text().isEmpty());
    ExpectWidgetsShowTheModel("client picked");

    // Leaving the header for the list loads both sides.
    auto* list = Model<TListBox>("lsbPossiveis");
    auto* listView = Widget<ListBoxView>("lsbPossiveis");
    GuiTest::Click(listView->viewport(), {5, listView->viewport()->height() - 3});
    GuiTest::Settle();
    EXPECT_EQ(screen_->ActiveControl(), list);
    ASSERT_GE(list->Count(), 3);
    auto* assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    ASSERT_NE(assigned, nullptr);
    int possible = list->Count();
    int before = assigned->RecordCount();
    ExpectWidgetsShowTheModel("lists loaded");

    // Two services selected and moved to the client.
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 0));
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 1), Qt::ControlModifier);
    EXPECT_EQ(list->SelCount(), 2);
    ASSERT_TRUE(Widget<QToolButton>("sbtEscolhido")->isEnabled());
    QTest::mouseClick(Widget<QToolButton>("sbtEscolhido"), Qt::LeftButton);
    assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    ASSERT_NE(assigned, nullptr);
    EXPECT_EQ(assigned->RecordCount(), before + 2);
    EXPECT_EQ(list->Count(), possible - 2);
    ExpectWidgetsShowTheModel("two moved");
    if (const char* file = std::getenv("SERVCLIENTE_SCREENSHOT")) {
        EXPECT_TRUE(shell_->grab().save(QString::fromLocal8Bit(file), "PNG"));
    }

    // The grid's first service moved back.
    auto* grid = Widget<GridView>("dbgPadrao");
    GuiTest::Click(grid->viewport(), grid->CellRect(0, 1).center());
    EXPECT_EQ(screen_->ActiveControl(), Model<TDBGrid>("dbgPadrao"));
    ASSERT_TRUE(Widget<QToolButton>("sbtUmEsquerda")->isEnabled());
    QTest::mouseClick(Widget<QToolButton>("sbtUmEsquerda"), Qt::LeftButton);
    assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    ASSERT_NE(assigned, nullptr);
    EXPECT_EQ(assigned->RecordCount(), before + 1);
    EXPECT_EQ(list->Count(), possible - 1);
    ExpectWidgetsShowTheModel("one back");

    // All of the client's services moved back.
    ASSERT_TRUE(Widget<QToolButton>("sbtTodosEsquerda")->isEnabled());
    QTest::mouseClick(Widget<QToolButton>("sbtTodosEsquerda"), Qt::LeftButton);
    assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    EXPECT_EQ(assigned != nullptr ? assigned->RecordCount() : 0, 0);
    EXPECT_EQ(list->Count(), possible + before);
    ExpectWidgetsShowTheModel("all back");

    // The close box closes the screen and its window goes; the menu opens a
    // new one.
    QPointer<FormView> window = shell_->ViewOf(screen_);
    window->close();
    GuiTest::Settle();
    EXPECT_EQ(package_->ScreenGlobal(), nullptr);
    EXPECT_TRUE(window.isNull());
    shell_->OpenScreen();
    GuiTest::Settle();
    screen_ = package_->ScreenGlobal();
    ASSERT_NE(screen_, nullptr);
    ASSERT_NE(shell_->ViewOf(screen_), nullptr);
    EXPECT_TRUE(shell_->ViewOf(screen_)->isVisible());
    ExpectWidgetsShowTheModel("opened again");
}

TEST_F(ScreenWorkTest, DraggingBetweenTheListsMovesAsTheTransferButtonsDo)
{
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    auto* listView = Widget<ListBoxView>("lsbPossiveis");
    int possible = list->Count();
    int before = Model<TDBGrid>("dbgPadrao")->ShownDataSet()->RecordCount();

    // Two entries selected and dropped on the grid.
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 0));
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 1), Qt::ControlModifier);
    ASSERT_TRUE(Model<TSpeedButton>("sbtEscolhido")->Enabled());
    EXPECT_TRUE(DropOn("lsbPossiveis", "dbgPadrao"));
    EXPECT_EQ(Model<TDBGrid>("dbgPadrao")->ShownDataSet()->RecordCount(), before + 2);
    EXPECT_EQ(list->Count(), possible - 2);
    ExpectWidgetsShowTheModel("two dropped on the grid");

    // A drop of the list on itself, or from another program, moves nothing.
    EXPECT_FALSE(DropOn("lsbPossiveis", "lsbPossiveis"));
    EXPECT_EQ(list->Count(), possible - 2);

    // The grid's row, clicked and dropped on the list.
    auto* grid = Widget<GridView>("dbgPadrao");
    GuiTest::Click(grid->viewport(), grid->CellRect(0, 1).center());
    ASSERT_TRUE(Model<TSpeedButton>("sbtUmEsquerda")->Enabled());
    EXPECT_TRUE(DropOn("dbgPadrao", "lsbPossiveis"));
    EXPECT_EQ(Model<TDBGrid>("dbgPadrao")->ShownDataSet()->RecordCount(), before + 1);
    EXPECT_EQ(list->Count(), possible - 1);
    ExpectWidgetsShowTheModel("one dropped back");

    // With the grid emptied its move-back button is disabled: no drop.
    QTest::mouseClick(Widget<QToolButton>("sbtTodosEsquerda"), Qt::LeftButton);
    ASSERT_FALSE(Model<TSpeedButton>("sbtUmEsquerda")->Enabled());
    EXPECT_FALSE(DropOn("dbgPadrao", "lsbPossiveis"));
    EXPECT_EQ(list->Count(), possible + before);
    ExpectWidgetsShowTheModel("refused while disabled");
}

// A search over the list selects the service it found in place of the one
// clicked before; the next move, by the button or by its key, stores the
// found service and not the other.
TEST_F(ScreenWorkTest, ClosingTheShellWithAChangeThatCannotGoAsksAndStaying)
{
    OpenWithListsLoaded();
    const int entry = EntryOf("00001");
    ASSERT_GE(entry, 0);
    server_.reset();
    GuiTest::Click(Widget<ListBoxView>("lsbPossiveis")->viewport(), RowCentre("lsbPossiveis", entry));
    QTest::mouseClick(Widget<QToolButton>("sbtEscolhido"), Qt::LeftButton);
    GuiTest::Settle();
    ASSERT_EQ(errors_.size(), 1) << errors_.join("\n").toStdString();
    ASSERT_EQ(Model<TClientDataSet>("cdsServClie")->GetChangeCount(), 1);

    // The question is closed without a choice, which is staying.
    EXPECT_FALSE(shell_->close());
    GuiTest::Settle();
    ASSERT_EQ(errors_.size(), 2);
    EXPECT_TRUE(errors_[1].contains(QStringLiteral("00001 - "))) << errors_[1].toStdString();
    EXPECT_TRUE(shell_->isVisible());
    EXPECT_EQ(package_->ScreenGlobal(), screen_);
    EXPECT_EQ(Model<TClientDataSet>("cdsServClie")->GetChangeCount(), 1);
}

TEST_F(ScreenWorkTest, AnotherOperatorsMoveIsShownLiveKeepingTheSelectionAndToldInTheStatusLine)
{
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    GuiTest::Click(Widget<ListBoxView>("lsbPossiveis")->viewport(), RowCentre("lsbPossiveis", 1));
    GuiTest::Settle();
    const std::vector<int> selected = list->SelectedIndexes();
    ASSERT_EQ(selected.size(), 1u);
    const std::string kept = list->Item(selected[0]).substr(0, 5);
    const std::string moved = list->Item(0).substr(0, 5);
    ASSERT_NE(kept, moved);
    auto* assigned = Model<TClientDataSet>("cdsServClie");
    const int rows = assigned->RecordCount();

    // Another operator stores the list's first service for the same client.
    const ContractDataSet& fields = ServClienteContract::Get().DataSet(ServClienteContract::kAssigned);
    DataPacket packet;
    packet.fields = fields.PacketFields();
    PacketRow row{TUpdateStatus::usInserted, std::vector<FieldValue>(packet.fields.size()), {}};
    row.values[static_cast<size_t>(fields.FieldIndex("CDFILIAL"))] = Model<TCustomEdit>("medCdFilial")->Text();
    row.values[static_cast<size_t>(fields.FieldIndex("CDCLIENTE"))] =
        Model<TClientDataSet>("cdsCliente")->FieldByName("CDCLIENTE")->AsString();
    row.values[static_cast<size_t>(fields.FieldIndex("CDSERVFILI"))] = moved;
    packet.rows.push_back(row);
    RemoteClient other;
    other.Open("127.0.0.1", server_->Port(), ServClienteContract::kServerName, "");
    std::vector<RemoteArg> args{RemoteArg::ByRef(Variant(packet))};
    other.Call("ApCoServClie", args);

    EXPECT_TRUE(QTest::qWaitFor([&] { return assigned->RecordCount() == rows + 1; }, 5000));
    EXPECT_EQ(EntryOf(moved.c_str()), -1);
    ASSERT_GE(EntryOf(kept.c_str()), 0);
    EXPECT_EQ(list->SelectedIndexes(), std::vector<int>{EntryOf(kept.c_str())});
    EXPECT_TRUE(shell_->statusBar()->currentMessage().contains(QString::fromStdString(moved)))
        << shell_->statusBar()->currentMessage().toStdString();
    ExpectWidgetsShowTheModel("another operator's move shown");
}

class ScreenWorkSearchTest : public ScreenWorkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ScreenWorkSearchTest, TheMoveAfterASearchStoresTheFoundService)
{
    const bool byKey = GetParam();
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    auto* listView = Widget<ListBoxView>("lsbPossiveis");
    const int earlier = EntryOf("00006");
    const int found = EntryOf("00015");
    ASSERT_GE(earlier, 0);
    ASSERT_GE(found, 0);
    const auto before = StoredAssignments();

    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", earlier));
    GuiTest::Settle();
    ASSERT_EQ(list->SelectedIndexes(), std::vector<int>{earlier});
    // The operator scrolls the list away from the service the search finds.
    ListBoxModel* items = listView->ItemModel();
    auto inView = [&](int entry) {
        return listView->viewport()->rect().contains(listView->visualRect(items->index(entry)));
    };
    listView->verticalScrollBar()->setValue(listView->verticalScrollBar()->maximum());
    ASSERT_FALSE(inView(found));
    searchText_ = "vigil";
    QTest::mouseClick(Widget<QToolButton>("sbtProcurar"), Qt::LeftButton);
    GuiTest::Settle();
    ASSERT_EQ(searches_, 1);
    // The services' captions head the columns; the branch has none.
    EXPECT_EQ(searchHeadings_, QStringList({QString::fromUtf8("Código"), QString::fromUtf8("Serviço")}));
    EXPECT_EQ(list->SelectedIndexes(), std::vector<int>{found});
    // The list shows that selection, the found entry in view.
    EXPECT_TRUE(items->index(found).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(items->index(earlier).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(inView(found));

    if (byKey) {
        QWidget* focused = shell_->ViewOf(screen_)->WidgetOf(screen_->ActiveControl());
        ASSERT_NE(focused, nullptr);
        QTest::keyClick(focused, Qt::Key_Right, Qt::ControlModifier);
    } else {
        QTest::mouseClick(Widget<QToolButton>("sbtEscolhido"), Qt::LeftButton);
    }
    GuiTest::Settle();
    std::set<std::string> added;
    for (const auto& row : StoredAssignments()) {
        if (before.count(row) == 0) {
            added.insert(row.second);
        }
    }
    EXPECT_EQ(added, std::set<std::string>{"00015"});
    EXPECT_GE(EntryOf("00006"), 0);
    EXPECT_EQ(EntryOf("00015"), -1);
    ExpectWidgetsShowTheModel("found service moved");
}

INSTANTIATE_TEST_SUITE_P(ByButtonOrKey, ScreenWorkSearchTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "CtrlRight" : "Button";
                         });

TEST_F(ScreenWorkTest, InputGivenWhileMoveAllRunsIsDroppedAndTheProgressWindowCounts)
{
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    int possible = list->Count();
    int before = Model<TDBGrid>("dbgPadrao")->ShownDataSet()->RecordCount();

    // While move-all stores its last service, the operator clicks
    // move-all-back and presses its keys: the input waits in the queue until
    // the command is over, when that button is enabled again. The progress
    // window is read each time the event loop turns.
    QStringList counts;
    std::vector<int> values;
    bool posted = false;
    bool outOfOrder = false;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        ProgressWindow* progress = ui_->Progress();
        if (progress == nullptr) {
            return;
        }
        counts << progress->CountText();
        values.push_back(progress->Bar()->value());
        // What a repaint would show now: the grid's rows in their order.
        QAbstractItemModel* shown = Widget<GridView>("dbgPadrao")->model();
        QStringList codes;
        for (int r = 0; r < shown->rowCount(); ++r) {
            codes << shown->index(r, 0).data().toString();
        }
        outOfOrder = outOfOrder || !std::is_sorted(codes.begin(), codes.end());
        if (!posted && progress->CountText() == QString("%1 de %1").arg(possible)) {
            posted = true;
            QWidget* back = Widget<QToolButton>("sbtTodosEsquerda");
            QPointF at(back->rect().center());
            QPointF global(back->mapToGlobal(back->rect().center()));
            QCoreApplication::postEvent(back, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                              Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(back, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                              Qt::NoButton, Qt::NoModifier));
            QWidget* focused = shell_->ViewOf(screen_)->WidgetOf(screen_->ActiveControl());
            QCoreApplication::postEvent(
                focused, new QKeyEvent(QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier));
        }
    });
    watcher.start();
    QTest::mouseClick(Widget<QToolButton>("sbtTodos"), Qt::LeftButton);
    watcher.stop();
    GuiTest::Settle();
    EXPECT_TRUE(posted);
    EXPECT_FALSE(outOfOrder) << "the grid's rows were shown out of their order";
    EXPECT_FALSE(ui_->Gate()->IsClosed());
    EXPECT_EQ(Model<TDBGrid>("dbgPadrao")->ShownDataSet()->RecordCount(), before + possible);
    EXPECT_EQ(list->Count(), 0);
    ExpectWidgetsShowTheModel("all moved, the input given meanwhile dropped");
    // The window said how far the work was, and its bar moved.
    EXPECT_TRUE(counts.contains(QString("1 de %1").arg(possible))) << counts.join(", ").toStdString();
    EXPECT_TRUE(counts.contains(QString("%1 de %1").arg(possible))) << counts.join(", ").toStdString();
    ASSERT_FALSE(values.empty());
    EXPECT_GT(values.back(), values.front());

    // Once the command is over, input is taken again.
    QTest::mouseClick(Widget<QToolButton>("sbtTodosEsquerda"), Qt::LeftButton);
    EXPECT_EQ(Model<TDBGrid>("dbgPadrao")->ShownDataSet()->RecordCount(), 0);
    ExpectWidgetsShowTheModel("all moved back");
}

// Escape (in the screen, where every other key is dropped, or in the progress
// window), the progress window's Cancel and its close box each stop move-all
// before its next service, none of them closing the window: what was stored
// is shown, the rest stays offered and the status line says how many were
// moved. Meanwhile the toolbar offers none of the standard commands. The
// window shows every item, so that the Cancel comes at the second.
TEST_F(ScreenWorkTest, EscapeCancelOrTheCloseBoxStopMoveAll)
{
    ui_->SetFrameMs(0);
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    auto* assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    const std::vector<std::pair<const char*, std::function<void(ProgressWindow*)>>> ways = {
        {"Escape",
         [this](ProgressWindow*) {
             QTest::keyClick(shell_->ViewOf(screen_)->WidgetOf(screen_->ActiveControl()), Qt::Key_Escape);
         }},
        {"Cancel", [](ProgressWindow* progress) { QTest::mouseClick(progress->CancelButton(), Qt::LeftButton); }},
        {"Escape in the window", [](ProgressWindow* progress) { QTest::keyClick(progress, Qt::Key_Escape); }},
        {"close box", [](ProgressWindow* progress) { progress->close(); }},
    };
    for (const auto& [name, press] : ways) {
        SCOPED_TRACE(name);
        const int possible = list->Count();
        const int before = assigned->RecordCount();
        ASSERT_GE(possible, 3);
        bool pressed = false;
        bool toolbarOffered = false;
        QTimer watcher;
        watcher.setInterval(0);
        QObject::connect(&watcher, &QTimer::timeout, [&, press = press] {
            ProgressWindow* progress = ui_->Progress();
            if (progress == nullptr) {
                return;
            }
            for (const char* button : {"sbtIncluir", "sbtAlterar", "sbtExcluir"}) {
                toolbarOffered = toolbarOffered || Widget<QToolButton>(button)->isEnabled();
            }
            if (!pressed && progress->CancelOffered() && progress->CountText() == QString("2 de %1").arg(possible)) {
                pressed = true;
                press(progress);
                EXPECT_TRUE(progress->CancelPressed());
                EXPECT_TRUE(progress->isVisible());
            }
        });
        watcher.start();
        QTest::mouseClick(Widget<QToolButton>("sbtTodos"), Qt::LeftButton);
        watcher.stop();
        GuiTest::Settle();
        ASSERT_TRUE(pressed);
        EXPECT_FALSE(toolbarOffered);
        // The service on its way when the Cancel came was stored: one or two.
        const int moved = assigned->RecordCount() - before;
        EXPECT_GE(moved, 1);
        EXPECT_LE(moved, 2);
        EXPECT_EQ(list->Count(), possible - moved);
        EXPECT_EQ(shell_->statusBar()->currentMessage(),
                  QString::fromUtf8("Interrompido: %1 de %2 serviços incluídos; os demais continuam na lista.")
                      .arg(moved)
                      .arg(possible));
        ExpectWidgetsShowTheModel("move-all stopped");
    }
}

// Ctrl+Z, the shortcut of the menu entry, takes back the last move.
TEST_F(ScreenWorkTest, CtrlZUndoesTheLastMove)
{
    OpenWithListsLoaded();
    const auto before = StoredAssignments();
    QTest::mouseClick(Widget<QToolButton>("sbtTodos"), Qt::LeftButton);
    GuiTest::Settle();
    ASSERT_NE(StoredAssignments(), before);
    QWidget* focused = shell_->ViewOf(screen_)->WidgetOf(screen_->ActiveControl());
    QTest::keyClick(focused, Qt::Key_Z, Qt::ControlModifier);
    GuiTest::Settle();
    EXPECT_EQ(StoredAssignments(), before);
    ExpectWidgetsShowTheModel("move-all undone");
}

// A number typed whole, of either kind, with or without its punctuation, is
// taken, checked and shown under its kind's mask; an unknown or empty number
// is said in the status line, never in a box, and the edit stays open to
// typing.
TEST_F(ScreenWorkTest, TheClientNumberIsTypedWholeOfEitherKindAndAFailedCheckTrapsNoOne)
{
    const auto person = ClientOfKind("F");
    const auto company = ClientOfKind("J");
    ASSERT_EQ(person.first.size(), 11u);
    ASSERT_EQ(company.first.size(), 14u);
    auto punctuated = [](const std::string& n) {
        return n.size() == 11 ? n.substr(0, 3) + "." + n.substr(3, 3) + "." + n.substr(6, 3) + "-" + n.substr(9)
                              : n.substr(0, 2) + "." + n.substr(2, 3) + "." + n.substr(5, 3) + "/" + n.substr(8, 4) +
                                    "-" + n.substr(12);
    };
    struct Step {
        std::string typed;
        QString shown;
        std::string name; // empty: no client found
        const char* said; // the status line's message key, or null
    };
    const Step steps[] = {
        {person.first, QString::fromStdString(punctuated(person.first)), person.second, nullptr},
        {punctuated(company.first), QString::fromStdString(punctuated(company.first)), company.second, nullptr},
        {"99999999999", "99999999999", "", "Não há cliente cadastrado"},
        {"", "", "", "Cliente deve ser informado"},
        {punctuated(person.first), QString::fromStdString(punctuated(person.first)), person.second, nullptr},
    };
    OpenInTheClientEdit();
    auto* edit = Widget<QLineEdit>("medCliente");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.typed);
        shell_->statusBar()->clearMessage();
        Application().Dispatch([this] { Model<TCustomEdit>("medCliente")->SelectAll(); });
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QString::fromStdString(step.typed));
        QTest::keyClick(edit, Qt::Key_Tab);
        GuiTest::Settle();
        EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
        errors_.clear();
        EXPECT_EQ(edit->text(), step.shown);
        EXPECT_EQ(Widget<QLineEdit>("edtCliente")->text(), QString::fromStdString(step.name));
        if (step.said != nullptr) {
            EXPECT_TRUE(shell_->statusBar()->currentMessage().contains(QString::fromUtf8(step.said)))
                << shell_->statusBar()->currentMessage().toStdString();
            EXPECT_EQ(screen_->ActiveControl(), Model<TCustomEdit>("medCliente"));
            EXPECT_TRUE(edit->hasFocus());
        } else {
            EXPECT_EQ(screen_->ActiveControl(), Model<TListBox>("lsbPossiveis"));
            GuiTest::Click(edit, {5, 5});
        }
    }
}

// Tab and Shift+Tab go round header, list, the transfer buttons that can be
// clicked and the grid; Enter in a header edit moves on as Tab; Space on a
// button clicks it and keeps the focus there.
TEST_F(ScreenWorkTest, TabGoesRoundTheScreenAndEnterMovesOnInTheHeader)
{
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    auto* listView = Widget<ListBoxView>("lsbPossiveis");
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 0));
    ASSERT_EQ(list->SelCount(), 1);
    Application().Dispatch([this] { Model<TCustomEdit>("medCdFilial")->SetFocus(); });
    GuiTest::Settle();
    auto press = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
        GuiTest::Settle();
    };
    press(Qt::Key_Return);
    EXPECT_EQ(FocusName(), "medCliente");
    std::vector<std::string> round;
    for (int i = 0; i < 12 && (round.empty() || round.back() != "medCdFilial"); ++i) {
        press(Qt::Key_Tab);
        round.push_back(FocusName());
    }
    // The list, the transfer buttons that can be clicked in their order, the
    // grid, and round to the branch.
    const std::vector<std::string> buttons = {"sbtEscolhido", "sbtTodos", "sbtUmEsquerda", "sbtTodosEsquerda"};
    ASSERT_GE(round.size(), 4u);
    EXPECT_EQ(round.front(), "lsbPossiveis");
    EXPECT_EQ(round[1], "sbtEscolhido");
    EXPECT_EQ(round[round.size() - 2], "dbgPadrao");
    EXPECT_EQ(round.back(), "medCdFilial");
    auto inPanel = buttons.begin();
    for (size_t i = 1; i + 2 < round.size(); ++i) {
        inPanel = std::find(inPanel, buttons.end(), round[i]);
        EXPECT_NE(inPanel, buttons.end()) << round[i] << " out of order";
    }
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(FocusName(), "dbgPadrao");
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(FocusName(), round[round.size() - 3]);
    Application().Dispatch([this] { Model<TCustomEdit>("medCdFilial")->SetFocus(); });
    GuiTest::Settle();
    // Back to the include button, which Space clicks.
    QImage unfocused = Widget<QToolButton>("sbtEscolhido")->grab().toImage();
    for (const char* name : {"medCliente", "lsbPossiveis", "sbtEscolhido"}) {
        press(Qt::Key_Tab);
        ASSERT_EQ(FocusName(), name);
    }
    EXPECT_NE(Widget<QToolButton>("sbtEscolhido")->grab().toImage(), unfocused) << "the focus shows";
    int possible = list->Count();
    Application().Dispatch([list] {
        list->SetSelected(0, true);
        list->SetSelected(1, true);
    });
    press(Qt::Key_Space);
    EXPECT_EQ(list->Count(), possible - 2);
    ASSERT_TRUE(Model<TSpeedButton>("sbtEscolhido")->Enabled());
    EXPECT_EQ(FocusName(), "sbtEscolhido");
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

// The count above each view, the filter box above the list and the grid's
// order by a title change what the operator sees, not what is sent: the
// service moved while the list is filtered is the one shown.
TEST_F(ScreenWorkTest, CountsFilterAndSortChangeTheViewsAndMoveTheServiceShown)
{
    OpenWithListsLoaded();
    auto* list = Model<TListBox>("lsbPossiveis");
    auto* listView = Widget<ListBoxView>("lsbPossiveis");
    auto* gridView = Widget<GridView>("dbgPadrao");
    TDataSet* assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    EXPECT_EQ(listView->Count()->text(), QString("%1 serviços").arg(list->Count()));
    EXPECT_EQ(gridView->Header()->Count()->text(), QString("%1 serviços").arg(assigned->RecordCount()));

    // One service more for the grid to sort.
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", EntryOf("00001")));
    QTest::keyClick(listView, Qt::Key_Right, Qt::ControlModifier);
    GuiTest::Settle();
    // Selected before filtering, hidden by the filter: unselected.
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", EntryOf("00006")));
    listView->Filter()->setFocus();
    QTest::keyClicks(listView->Filter(), QString::fromUtf8("VIGILÂNCIA"));
    GuiTest::Settle();
    const int found = EntryOf("00015");
    std::vector<int> shown;
    for (int i = 0; i < list->Count(); ++i) {
        if (!listView->isRowHidden(i)) {
            shown.push_back(i);
        }
    }
    EXPECT_EQ(shown, std::vector<int>{found});
    EXPECT_EQ(list->SelCount(), 0);
    EXPECT_EQ(listView->Count()->text(), QString("1 de %1 serviços").arg(list->Count()));
    const auto before = StoredAssignments();
    QTest::keyClick(listView->Filter(), Qt::Key_Down);
    QTest::keyClick(listView, Qt::Key_Home);
    QTest::keyClick(listView, Qt::Key_Right, Qt::ControlModifier);
    GuiTest::Settle();
    std::set<std::string> added;
    for (const auto& row : StoredAssignments()) {
        if (before.count(row) == 0) {
            added.insert(row.second);
        }
    }
    EXPECT_EQ(added, std::set<std::string>{"00015"});

    // By name, down the names; the data set keeps its own order.
    assigned = Model<TDBGrid>("dbgPadrao")->ShownDataSet();
    ASSERT_GE(assigned->RecordCount(), 2);
    std::vector<std::string> stored;
    for (int r = 0; r < assigned->RecordCount(); ++r) {
        stored.push_back(assigned->RowValue(r, assigned->FieldByName("CDSERVFILI")->Index()).value_or(""));
    }
    gridView->horizontalHeader()->sectionClicked(1);
    QStringList names;
    for (int r = 0; r < gridView->model()->rowCount(); ++r) {
        names << gridView->model()->index(r, 1).data().toString();
    }
    QStringList sortedNames = names;
    std::sort(sortedNames.begin(), sortedNames.end(),
              [](const QString& a, const QString& b) { return QString::localeAwareCompare(a, b) < 0; });
    EXPECT_EQ(names, sortedNames);
    for (int r = 0; r < assigned->RecordCount(); ++r) {
        EXPECT_EQ(assigned->RowValue(r, assigned->FieldByName("CDSERVFILI")->Index()).value_or(""), stored[r]);
    }
    GuiTest::Click(gridView->viewport(), gridView->visualRect(gridView->model()->index(0, 1)).center());
    QTest::keyClick(gridView, Qt::Key_Down);
    EXPECT_EQ(GuiConvert::ToQt(assigned->FieldByName("NMSERVICO")->AsString()), names[1]);
    ExpectWidgetsShowTheModel("sorted and filtered");
}

// The edits' context menu is Qt's own, acting on the model's edit.
TEST_F(ScreenWorkTest, RightClickInAnEditGivesItsOwnMenuWhichPastesIntoTheModel)
{
    OpenInTheClientEdit();
    const auto person = ClientOfKind("F");
    QGuiApplication::clipboard()->setText(QString::fromStdString(person.first));
    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions()) {
                if (action->isVisible() && !action->isSeparator()) {
                    shown << action->objectName();
                }
            }
            for (QAction* action : menu->actions()) {
                if (action->objectName() == "edit-paste") {
                    action->trigger();
                }
            }
            menu->close();
        }
    });
    auto* edit = Widget<QLineEdit>("medCliente");
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit, &click);
    GuiTest::Settle();
    EXPECT_TRUE(click.isAccepted());
    EXPECT_EQ(shown, QStringList({"edit-cut", "edit-copy", "edit-paste", "edit-delete", "select-all"}));
    EXPECT_EQ(Model<TCustomEdit>("medCliente")->Text(), person.first);
}

// Every language a session may name, Portuguese (no Language) first.
std::vector<std::string> SessionLanguages()
{
    std::vector<std::string> languages{""};
    std::ifstream list(std::string(TEST_SOURCE_DIR) + "/cmake/Languages.txt");
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream words(line);
        std::string code;
        std::string how;
        if (!line.empty() && line[0] != '#' && (words >> code >> how) && how == "translated") {
            languages.push_back(code);
        }
    }
    return languages;
}

class LanguageScreenWorkTest : public ScreenWorkTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        language_ = GetParam();
        ScreenWorkTest::SetUp();
    }
};

// In each language: no two entries of one menu, nor two of the menu bar and
// the screen's labels, share an Alt letter; a screen reader names every
// control the operator works with in the session's language and says what
// it is for.
TEST_P(LanguageScreenWorkTest, MnemonicsAreUniqueAndEveryControlIsNamedForScreenReaders)
{
    OpenWithListsLoaded();
    auto letter = [](const QString& text) {
        for (int at = text.indexOf('&'); at >= 0 && at + 1 < text.size(); at = text.indexOf('&', at + 2)) {
            if (text[at + 1] != '&') {
                return text[at + 1].toLower();
            }
        }
        return QChar();
    };
    std::vector<QStringList> groups;
    QStringList bar;
    for (QAction* action : shell_->menuBar()->actions()) {
        bar << action->text();
        if (action->menu() != nullptr) {
            QStringList items;
            for (QAction* item : action->menu()->actions()) {
                items << item->text();
            }
            groups.push_back(items);
        }
    }
    for (QLabel* label : shell_->ViewOf(screen_)->findChildren<QLabel*>()) {
        bar << label->text();
    }
    groups.push_back(bar);
    for (const QStringList& group : groups) {
        std::map<QChar, QString> taken;
        for (const QString& text : group) {
            QChar key = letter(text);
            if (key.isNull()) {
                continue;
            }
            auto [at, fresh] = taken.emplace(key, text);
            EXPECT_TRUE(fresh) << text.toStdString() << " and " << at->second.toStdString() << " share Alt+"
                               << QString(key).toStdString();
        }
    }

    FormView* view = shell_->ViewOf(screen_);
    int named = 0;
    for (int i = 0; i < screen_->ComponentCount(); ++i) {
        auto* control = dynamic_cast<TControl*>(screen_->Components(i));
        auto* windowed = dynamic_cast<TWinControl*>(control);
        bool operated = (windowed != nullptr && windowed->IsFocusable()) || dynamic_cast<TSpeedButton*>(control);
        if (!operated || view->WidgetOf(control) == nullptr) {
            continue;
        }
        SCOPED_TRACE(control->Name());
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(view->WidgetOf(control));
        ASSERT_NE(reader, nullptr);
        QString name = reader->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_NE(name, QString::fromStdString(control->Name()));
        EXPECT_FALSE(reader->text(QAccessible::Description).isEmpty());
        ++named;
    }
    EXPECT_GE(named, 20);
    QAccessibleInterface* client = QAccessible::queryAccessibleInterface(Widget<QWidget>("medCliente"));
    EXPECT_EQ(client->text(QAccessible::Name), GuiConvert::ToQt(Model<TLabel>("lblCliente")->Caption()));
    EXPECT_EQ(client->text(QAccessible::Name), GetParam().empty() ? QString("Cliente") : QString("Client"));
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, LanguageScreenWorkTest, ::testing::ValuesIn(SessionLanguages()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param.empty() ? std::string("pt") : info.param;
                         });

class EnglishScreenWorkTest : public ScreenWorkTest {
protected:
    void SetUp() override
    {
        language_ = "en";
        ScreenWorkTest::SetUp();
    }
};

TEST_F(EnglishScreenWorkTest, EveryTextIsEnglishAndTheMaximizedScreenFillsTheWindow)
{
    OpenWithListsLoaded();
    // The standard screen's menu and toolbar, the lookup's keys in its tooltip.
    QStringList menus;
    for (QAction* action : shell_->menuBar()->actions()) {
        menus << action->text();
    }
    EXPECT_TRUE(menus.contains("&Record")) << menus.join(", ").toStdString();
    EXPECT_FALSE(menus.contains("&Registro"));
    EXPECT_EQ(Widget<QToolButton>("sbtConfirmar")->toolTip(), QString("Confirm"));
    EXPECT_EQ(Widget<QToolButton>("btnCliente")->toolTip(), QString("Search (F2 or Alt+Down)"));

    auto* listView = Widget<ListBoxView>("lsbPossiveis");
    EXPECT_TRUE(listView->toolTip().contains("F6")) << listView->toolTip().toStdString();

    // F6 takes the focus from the list to the grid and back.
    ASSERT_EQ(screen_->ActiveControl(), Model<TListBox>("lsbPossiveis"));
    QTest::keyClick(listView, Qt::Key_F6);
    EXPECT_EQ(screen_->ActiveControl(), Model<TDBGrid>("dbgPadrao"));
    EXPECT_TRUE(Widget<GridView>("dbgPadrao")->hasFocus());
    QTest::keyClick(Widget<GridView>("dbgPadrao"), Qt::Key_F6);
    EXPECT_EQ(screen_->ActiveControl(), Model<TListBox>("lsbPossiveis"));

    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 0));
    GuiTest::Click(listView->viewport(), RowCentre("lsbPossiveis", 2), Qt::ControlModifier);
    QTest::mouseClick(Widget<QToolButton>("sbtEscolhido"), Qt::LeftButton);
    Application().Dispatch([this] { screen_->SetWindowState(TWindowState::wsMaximized); });
    GuiTest::Settle();
    FormView* view = shell_->ViewOf(screen_);
    EXPECT_EQ(view->geometry(), shell_->MdiArea()->viewport()->rect());
    // The form's controls are laid out over the whole area.
    EXPECT_EQ(screen_->ClientWidth(), view->Surface()->width());
    EXPECT_EQ(screen_->ClientHeight(), view->Surface()->height());
    QWidget* grid = Widget<QWidget>("dbgPadrao");
    EXPECT_GE(grid->mapTo(view->Surface(), QPoint(grid->width(), 0)).x(), view->Surface()->width() - 8);
    ExpectWidgetsShowTheModel("maximized");
    if (const char* file = std::getenv("SERVCLIENTE_SCREENSHOT_EN")) {
        EXPECT_TRUE(shell_->grab().save(QString::fromLocal8Bit(file), "PNG"));
    }
}

} // namespace
