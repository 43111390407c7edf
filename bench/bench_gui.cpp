// Target 6: the desktop shell's rebuild of both views against the headless
// one. The real screen is loaded in-process against a running application
// server on the branch of 10,000 + 10,000 rows; each cycle goes into the
// header and leaves it twice: once with no window (the headless rebuild),
// once with the screen's Qt window open on the offscreen platform, timed
// until both views hold every row and the window has been drawn.
//
//   BENCH_WORK, BENCH_SQLITE_PORT: as bench_screen
#include "bench/support/BenchData.h"
#include "bench/support/BenchStats.h"
#include "bench/support/ScreenRig.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TListBox.h"
#include "platform/data/TClientDataSet.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GridModel.h"
#include "shell/gui/GridView.h"
#include "shell/gui/ListBoxModel.h"
#include "shell/gui/ListBoxView.h"

#include <QApplication>
#include <QMdiArea>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstdlib>

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
        rig.EnterHeader();
        Window window(area, screen);
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
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
