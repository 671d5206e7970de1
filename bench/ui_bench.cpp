// One full frame (layout and paint) of a skin with every control at 1000 x 640,
// against a plain fill of a surface of the same size in the same run.
#include "tests/ui/all_controls_skin.h"

#include "ui/paint_manager_ui.h"
#include "ui/render.h"
#include "ui/window_impl_base.h"

#include <benchmark/benchmark.h>

namespace {

class BenchWindow : public WindowImplBase {
protected:
    CDuiString GetSkinFile() override { return kAllControlsSkin; }
    const wchar_t* GetWindowClassName() const override { return L"BenchWnd"; }
};

void BM_PlainFill(benchmark::State& state)
{
    auto canvas = ui::createImageCanvas(1000, 640);
    for (auto _ : state) {
        canvas->clear(0xFF1B1F24);
        canvas->fillRect(RECT{0, 0, 1000, 640}, 0xFF202830);
        benchmark::DoNotOptimize(canvas->pixels());
    }
}
BENCHMARK(BM_PlainFill)->Unit(benchmark::kMillisecond);

void BM_FullFrameAllControls(benchmark::State& state)
{
    BenchWindow window;
    window.Create(nullptr, L"bench", 0, 0, 0, 0, 1000, 640);
    CPaintManagerUI& pm = window.GetPaintManager();
    pm.Paint();
    for (auto _ : state) {
        // A relayout of the whole tree as well as the paint, as after a resize.
        pm.NeedUpdate();
        pm.Paint();
        benchmark::DoNotOptimize(pm.GetCanvas()->pixels());
    }
    ui::destroyWindow(window.GetHWND());
}
BENCHMARK(BM_FullFrameAllControls)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
