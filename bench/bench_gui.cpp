// Target 6: the desktop shell's rebuild of both views against the headless
// one. The real screen is loaded in-process against a running application
// server on the branch of 10,000 + 10,000 rows; each cycle goes into the
// header and leaves it twice: once with no window (the headless rebuild),
// once with the screen's Qt window open on the offscreen platform, timed
// until both views hold every row and the window has been drawn.
//
// Move-all of 1,000 services in the desktop shell against the headless
// screen, on the same screen and data: each round moves every service with
// no window (the headless command), then with the shell's main window, its
// progress window and its input gate (a click on the Qt button, timed until
// both views hold the result and the window has been drawn), each time moved
// back untimed. Per service is the command's time over the services; the
// ratio is the median of the rounds' ratios, with their spread.
//
//   BENCH_WORK, BENCH_SQLITE_PORT: as bench_screen
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "bench/support/ScreenRig.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/core/ErrorSink.h"
#include "platform/data/TClientDataSet.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GridModel.h"
#include "shell/gui/GridView.h"
#include "shell/gui/GuiShellUi.h"
#include "shell/gui/ListBoxModel.h"
#include "shell/gui/ListBoxView.h"
#include "shell/gui/ShellWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMdiArea>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace BenchStats;

namespace {

// The screen's window, open while it lives.
class Window {
public:
    Window(QMdiArea& area, TCustomForm* form) : view_(new FormView(form))
    {
        area.addSubWindow(view_);
        view_->SyncFromModel();
        view_->showMaximized();
        QApplication::processEvents();
    }
    ~Window()
    {
        delete view_;
        QApplication::processEvents();
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    int ListRows(const TListBox* list) const
    {
        auto* v = dynamic_cast<ListBoxView*>(view_->ViewOf(list));
        return v != nullptr ? v->ItemModel()->rowCount() : -1;
    }
    int GridRows(const TDBGrid* grid) const
    {
        auto* v = dynamic_cast<GridView*>(view_->ViewOf(grid));
        return v != nullptr ? v->TableModel()->rowCount() : -1;
    }
    // Runs the events the model's changes posted, then draws the window.
    void Settle() const
    {
        QApplication::processEvents();
        QPixmap drawn = view_->grab();
        benchmark::DoNotOptimize(drawn);
    }

private:
    FormView* view_;
};

// The desktop shell over the rig's forms, as RunGui makes it: the main
// window, which gives every shown form its window, and the shell's windows
// for the routines (progress window, input gate).
class Shell {
public:
    Shell() : window_(nullptr)
    {
        // Errors still reach the rig, which stops the measurement: a message
        // box would wait for an operator.
        ErrorSink::Sink rigSink = ErrorSink::Set(nullptr);
        ErrorSink::Set(rigSink);
        ui_ = std::make_unique<GuiShellUi>(&window_);
        ErrorSink::Set(rigSink);
        window_.resize(1024, 768);
        window_.show();
        Settle();
    }
    ~Shell()
    {
        ui_.reset();
        QApplication::processEvents();
    }
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // The operator's click on the Qt widget of button.
    bool Click(const TSpeedButton* button) const
    {
        FormView* view = window_.ViewOf(button->GetParentForm());
        auto* widget = view != nullptr ? qobject_cast<QAbstractButton*>(view->WidgetOf(button)) : nullptr;
        if (widget == nullptr) {
            return false;
        }
        widget->click();
        return true;
    }
    int ListRows(const TListBox* list) const
    {
        FormView* view = window_.ViewOf(list->GetParentForm());
        auto* v = view != nullptr ? dynamic_cast<ListBoxView*>(view->ViewOf(list)) : nullptr;
        return v != nullptr ? v->ItemModel()->rowCount() : -1;
    }
    int GridRows(const TDBGrid* grid) const
    {
        FormView* view = window_.ViewOf(grid->GetParentForm());
        auto* v = view != nullptr ? dynamic_cast<GridView*>(view->ViewOf(grid)) : nullptr;
        return v != nullptr ? v->TableModel()->rowCount() : -1;
    }
    // Runs what the command left posted (the gate opening among it), then
    // draws the window.
    void Settle()
    {
        QApplication::processEvents();
        QApplication::processEvents();
        QPixmap drawn = window_.grab();
        benchmark::DoNotOptimize(drawn);
    }

private:
    ShellWindow window_;
    std::unique_ptr<GuiShellUi> ui_;
};

void MoveAll(benchmark::State& state, int port)
{
    const BenchBranch& b = BenchData::MoveAll();
    ScreenRig rig(Env("BENCH_WORK", "/tmp/servcliente-bench") + "/screen-gui-move", port, b.branch);
    rig.Open();
    rig.ChooseClient();
    auto* list = rig.Get<TListBox>("lsbPossiveis");
    auto* grid = rig.Get<TDBGrid>("dbgPadrao");
    auto* assigned = rig.Get<TClientDataSet>("cdsServClie");
    auto* todos = rig.Get<TSpeedButton>("sbtTodos");
    if (list == nullptr || grid == nullptr || assigned == nullptr || todos == nullptr) {
        state.SkipWithError("the screen has not the expected controls");
        return;
    }
    auto moved = [&] { return list->Count() == 0 && assigned->RecordCount() == b.services; };
    auto back = [&] {
        rig.Click("sbtTodosEsquerda");
        return list->Count() == b.services && assigned->RecordCount() == 0;
    };
    std::vector<double> headless, shown, ratios;
    for (auto _ : state) {
        if (!back()) {
            state.SkipWithError("the screen does not start from an empty client");
            return;
        }
        Time(headless, [&] { rig.Click("sbtTodos"); });
        if (!moved() || !back()) {
            state.SkipWithError("the headless move-all did not move every service");
            return;
        }
        {
            Shell shell;
            bool clicked = false;
            Time(shown, [&] {
                clicked = shell.Click(todos);
                shell.Settle();
            });
            if (!clicked || !moved() || shell.ListRows(list) != 0 || shell.GridRows(grid) != b.services) {
                state.SkipWithError("the shell's move-all did not show every service moved");
                return;
            }
        }
        ratios.push_back(shown.back() / headless.back());
    }
    const double services = b.services;
    state.counters["move_shown_us"] = Median(shown) / services;
    state.counters["move_headless_us"] = Median(headless) / services;
    state.counters["move_ratio"] = Median(ratios);
    state.counters["move_ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["move_ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
}

void Rebuild(benchmark::State& state, int port)
{
    const BenchBranch& b = BenchData::Lists10k();
    ScreenRig rig(Env("BENCH_WORK", "/tmp/servcliente-bench") + "/screen-gui", port, b.branch);
    rig.Open();
    rig.ChooseClient();
    auto* screen = rig.Get<TCustomForm>("frmServCliente");
    auto* list = rig.Get<TListBox>("lsbPossiveis");
    auto* grid = rig.Get<TDBGrid>("dbgPadrao");
    auto* assigned = rig.Get<TClientDataSet>("cdsServClie");
    if (screen == nullptr || list == nullptr || grid == nullptr || assigned == nullptr) {
        state.SkipWithError("the screen has not the expected controls");
        return;
    }
    const int listRows = b.services - b.assigned;
    QMdiArea area;
    area.resize(1024, 768);
    area.show();

    std::vector<double> headless, shown;
    for (auto _ : state) {
        rig.EnterHeader();
        Time(headless, [&] { rig.LeaveHeader(); });
        if (list->Count() != listRows || assigned->RecordCount() != b.assigned) {
            state.SkipWithError("the headless screen did not load the lists");
            return;
        }
        // The window opens first: opening it may move the model's focus,
        // and a focus that left the header would load the lists untimed.
        Window window(area, screen);
        rig.EnterHeader();
        window.Settle();
        if (list->Count() != 0) {
            state.SkipWithError("the lists were not emptied in the header");
            return;
        }
        Time(shown, [&] {
            rig.LeaveHeader();
            window.Settle();
        });
        if (window.ListRows(list) != listRows || window.GridRows(grid) != b.assigned) {
            state.SkipWithError("the window's views do not hold the lists");
            return;
        }
    }
    state.counters["shown_us"] = Median(shown);
    state.counters["headless_us"] = Median(headless);
    state.counters["ratio"] = Median(shown) / Median(headless);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const int port = EnvInt("BENCH_SQLITE_PORT", 0);
    if (port != 0) {
        benchmark::RegisterBenchmark("Rebuild/sqlite", [port](benchmark::State& s) { Rebuild(s, port); })
            ->Iterations(10)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("MoveAll/sqlite", [port](benchmark::State& s) { MoveAll(s, port); })
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
