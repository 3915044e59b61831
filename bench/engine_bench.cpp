// The engine: whole host ticks through the simulator's surface, with the real firmware taking
// its step in each, and the bare switch into the firmware's fiber and back.
#include <benchmark/benchmark.h>

#include "host/fiber.h"
#include "simulator.h"

namespace {

void BM_SimTick(benchmark::State& state) {
    SimReset();
    SimUseCarriedResources();
    SimSetSoundService(nullptr);
    SimStart();
    for (int i = 0; i < 100; ++i) SimTick();  // past the power-on
    for (auto _ : state) SimTick();
    state.counters["ticks_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(state.iterations()) * 0.1,
                                                      benchmark::Counter::kIsRate);
    SimReset();
}
BENCHMARK(BM_SimTick)->UseRealTime()->MinTime(2.0);

void SwitchOnlyFiber() {
    for (;;) FiberSwitchOut();
}

// One switch into the fiber and one back.
void BM_FiberRoundTrip(benchmark::State& state) {
    SimReset();
    FiberCreate(SwitchOnlyFiber);
    for (auto _ : state) FiberSwitchIn();
    FiberRelease();
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FiberRoundTrip)->UseRealTime()->MinTime(1.0);

}  // namespace
