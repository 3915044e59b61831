// One LCD redraw: the panel picture copied into the frame, the display filled and 24 glyphs
// drawn, with the cursor on. Goal: well under 50 us, as a redraw runs about twenty times a
// second on the host thread.
#include <benchmark/benchmark.h>

#include "host/reset.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/timer_isr.h"

namespace {

void BM_RedrawLcd(benchmark::State& state) {
    ResetSimulator();
    InitLcdView();
    // A full screen of wide letters, the cursor under one of them.
    for (int i = 0; i < LcdCellCount; ++i) LcdCells[i].store(static_cast<uint8_t>(0xD0 + i % 16));
    LcdPosition.store(5);
    LcdCursorOn.store(1);
    BacklightOn.store(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        RedrawLcd();
        benchmark::DoNotOptimize(PanelFrame[0]);
        benchmark::ClobberMemory();
    }
    ResetSimulator();
}
BENCHMARK(BM_RedrawLcd)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

}  // namespace
