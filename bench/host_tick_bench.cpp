// One host tick's work on the simulated hardware: the pulse source, the run of 200 timer
// interrupt calls and, when a sound is complete, building its WAV image (no sound service
// installed).
#include <benchmark/benchmark.h>

#include "firmware/firmware_state.h"
#include "peripherals/pulse_source.h"
#include "peripherals/sound_output.h"
#include "peripherals/timer_isr.h"

namespace {

enum Sound { Quiet = 0, Clicks = 1, AlarmTone501 = 2 };

void BM_HostTickHardware(benchmark::State& state) {
    ResetPulseSource();
    ResetTimerIsr();
    ResetSoundOutput();
    SoundService = nullptr;
    PulsePhase = PowerOnPulsePhase;
    TicksToSecond.store(1995);
    SettingsFlags.store(state.range(0) == Clicks ? 0x04 : 0x00);
    ThresholdAlarm.store(state.range(0) == AlarmTone501 ? 1 : 0);
    for (auto _ : state) {
        PulseSource();
        SampleRepeat.store(4, std::memory_order_relaxed);
        TimerIsrRun(TimerCallsPerTick);
        SampleRepeat.store(1, std::memory_order_relaxed);
        if (SoundReady.load() == 1 && SampleCount.load() != 0) WavPlayer();
    }
    state.SetLabel(state.range(0) == Quiet    ? "quiet"
                   : state.range(0) == Clicks ? "clicks"
                                              : "tone");
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HostTickHardware)->Arg(Quiet)->Arg(Clicks)->Arg(AlarmTone501);

}  // namespace
