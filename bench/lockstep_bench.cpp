// Host ticks per second of wall time with the real firmware on its own thread: each tick a
// full hand-off to the firmware and back, plus the tick's own hardware work.
#include <benchmark/benchmark.h>

#include "firmware/firmware_state.h"
#include "host/host_tick.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/sound_output.h"

namespace {

void BM_HostTickLockStep(benchmark::State& state) {
    ResetSimulator();
    SoundService = nullptr;
    StartupPowerOn();
    InitLcdView();
    for (int i = 0; i < 100; ++i) HostTick();  // past the power-on
    for (auto _ : state) HostTick();
    state.counters["ticks_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(state.iterations()) * 0.1,
                                                      benchmark::Counter::kIsRate);
    ResetSimulator();
}
BENCHMARK(BM_HostTickLockStep)->UseRealTime()->MinTime(2.0);

// The bare hand-off between the threads, with a firmware that only waits.
void WaitOnlyFirmware() {
    for (;;) AwaitTick();
}

void BM_BareHandOff(benchmark::State& state) {
    ResetSimulator();
    FirmwareEntry = WaitOnlyFirmware;
    StartupPowerOn();
    for (auto _ : state) {
        TickDone.store(1);
        TickDone.notify_one();
        WaitFirmwareParked();
    }
    state.counters["handoffs_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    ResetSimulator();
}
BENCHMARK(BM_BareHandOff)->UseRealTime()->MinTime(1.0);

}  // namespace
