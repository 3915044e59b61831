// Random soak: the whole instrument driven through the simulator's surface for hours of instrument
// time with random but reproducible input, checking the machine's invariants after every tick.
//
// Input comes from a std::mt19937_64 seeded with --seed: MODE presses of every length, long
// holds, POWER clicks at any moment (also during the power-on, in the editor, right after an
// announcement), clicks anywhere on the panel and beyond it, and check-source pulses on top
// of the detector's background. A broken invariant prints the seed, the tick, the invariant
// and the last input events, and the same --seed replays the run exactly.
//
//   drk_soak [--seed S] [--hours H] [--report] [--replay]
//
// --report prints what the run covered and how fast it went; --replay runs the same seed a
// second time in the same process (after SimReset) and fails unless both runs gave the
// same digest of every tick's LCD, cursor, backlight and sound.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "firmware/firmware_state.h"
#include "host/firmware_thread.h"
#include "host/host_tick.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/pulse_source.h"
#include "peripherals/sound_output.h"
#include "peripherals/timer_isr.h"
#include "simulator.h"

namespace {

constexpr uint64_t TicksPerHour = 36000;

struct Options {
    uint64_t seed = 1;
    double hours = 1.0;
    bool report = false;
    bool replay = false;
    bool help = false;
};

// --- What the run has seen, for the report -------------------------------------------------

struct Coverage {
    uint64_t ticks = 0;
    uint64_t ticksOff = 0, ticksPowerOn = 0, ticksMeasuring[9] = {}, ticksMenu = 0, ticksEditor = 0,
             ticksHeldOnModeKey = 0;
    uint64_t modePresses = 0, powerClicks = 0, panelClicks = 0, extraPulses = 0;
    uint64_t powerOns = 0, powerOffs = 0, serviceMenus = 0, reducedTicks = 0;
    uint64_t doseResets = 0, overRangeTicks = 0, alarmTicks = 0;
    uint64_t soundsPlayed = 0, samplesPlayed = 0, longestSound = 0;
    uint64_t digest = 1469598103934665603ULL;  // FNV-1a over every tick's observable output
};

Coverage Seen;

void Mix(uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        Seen.digest ^= (value >> (8 * i)) & 0xFF;
        Seen.digest *= 1099511628211ULL;
    }
}

// --- The sound service: checks every WAV image it is handed --------------------------------

uint64_t PlayedThisTick = 0;
std::string SoundFault;

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void CheckingSoundService(const uint8_t* wav, uint32_t bytes) {
    if (bytes < WavHeaderSize || bytes > WavHeaderSize + SampleCapacity ||
        std::memcmp(wav, "RIFF", 4) != 0 || std::memcmp(wav + 8, "WAVEfmt ", 8) != 0 ||
        std::memcmp(wav + 36, "data", 4) != 0 || Le32(wav + 4) != bytes - 8 ||
        Le32(wav + 40) != bytes - WavHeaderSize || Le32(wav + 24) != 8000) {
        SoundFault = "malformed WAV image of " + std::to_string(bytes) + " bytes";
        return;
    }
    const uint64_t samples = bytes - WavHeaderSize;
    PlayedThisTick += samples;
    ++Seen.soundsPlayed;
    Seen.samplesPlayed += samples;
    if (samples > Seen.longestSound) Seen.longestSound = samples;
}

// --- The input ------------------------------------------------------------------------------

enum class Act : uint8_t { ModeDown, ModeUp, Power, Click, Pulses, Burst, Wait };

struct Action {
    Act act;
    uint32_t a = 0, b = 0;  // Click x, y; Pulses n; Burst n per tick, b ticks; Wait ticks
};

const char* ActName(Act act) {
    switch (act) {
        case Act::ModeDown:
            return "mode down";
        case Act::ModeUp:
            return "mode up";
        case Act::Power:
            return "power";
        case Act::Click:
            return "click";
        case Act::Pulses:
            return "pulses";
        case Act::Burst:
            return "pulse burst";
        case Act::Wait:
            return "wait";
    }
    return "?";
}

struct Soak {
    std::mt19937_64 rng;
    std::deque<Action> plan;
    uint64_t tick = 0;
    uint32_t burstPerTick = 0, burstTicks = 0;

    // The last input events, printed with a failure.
    struct Logged {
        uint64_t tick;
        Action action;
    };
    Logged log[24] = {};
    uint32_t logged = 0;

    // State carried from one tick's check to the next.
    float lastDose = 0;
    uint8_t lastArmed = 0;
    uint32_t lastRunning = 0;
    bool modeHeld = false;
    int menuTarget = -1;  // menu item being walked to, -1 none
    uint32_t seekPresses = 0;
    int baselineThreads = 0;
    std::string failure;

    explicit Soak(uint64_t seed) : rng(seed) {}

    uint64_t Below(uint64_t n) { return n == 0 ? 0 : rng() % n; }
    uint64_t Between(uint64_t lo, uint64_t hi) { return lo + Below(hi - lo + 1); }
    bool Chance(double p) { return static_cast<double>(rng() >> 11) * 0x1.0p-53 < p; }

    // A press of the given length in ticks: 0 is a press that goes down and up between two
    // ticks, which the key poll never sees.
    void PlanPress(uint32_t ticks) {
        plan.push_back({Act::ModeDown});
        if (ticks != 0) plan.push_back({Act::Wait, ticks});
        plan.push_back({Act::ModeUp});
    }

    // Press lengths by what the instrument is doing, so that every state gets its share:
    // mostly short presses while measuring (mode changes), more long ones in the menu (its
    // actions) and in the editor (the next digit), and a long press on the menu's exit item
    // often enough that the menu is left again.
    uint32_t PressLength() {
        const bool editor = EditorActive != 0;
        const bool menu = !editor && MenuActive != 0 && PowerKeyEnabled != 0;
        if (menu && MenuIndex == 0 && Chance(0.4)) return static_cast<uint32_t>(Between(15, 20));
        const uint64_t shortShare = editor ? 30 : menu ? 55 : 72;
        const uint64_t longShare = editor ? 65 : menu ? 35 : 10;
        const uint64_t r = Below(100);
        if (r < shortShare) return static_cast<uint32_t>(Between(1, 14));
        if (r < shortShare + longShare) return static_cast<uint32_t>(Between(15, 30));
        if (r < 96) return static_cast<uint32_t>(Between(31, 400));  // holds, past the count's top
        return 0;  // down and up between two polls: never seen
    }

    // Somewhere on the panel, often at or around a button, now and then far outside it.
    Action RandomClick() {
        const uint64_t r = Below(10);
        const int32_t w = PanelWidth > 0 ? PanelWidth : PanelMaxWidth;
        const int32_t h = PanelHeight > 0 ? PanelHeight : PanelMaxHeight;
        if (r < 4) {
            const ButtonRecord& b = ButtonTable[Below(2)];
            return {Act::Click, static_cast<uint32_t>(b.left - 2 + static_cast<int32_t>(Below(35))),
                    static_cast<uint32_t>(b.top - 2 + static_cast<int32_t>(Below(35)))};
        }
        if (r < 9) {
            return {Act::Click, static_cast<uint32_t>(Below(static_cast<uint64_t>(w))),
                    static_cast<uint32_t>(Below(static_cast<uint64_t>(h)))};
        }
        return {Act::Click, static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng())};
    }

    void Generate() {
        if (FirmwareRunning.load() == 0) {
            // Off: power on after a while, often with MODE held through the power-on (the
            // service menu when held past the eighth tick, a wait for the release when held
            // past the greeting).
            plan.push_back({Act::Wait, static_cast<uint32_t>(Between(0, 60))});
            if (Chance(0.1)) plan.push_back(RandomClick());
            plan.push_back({Act::Power});
            if (Chance(0.35)) {
                // MODE pressed right after the power click (a click's button-up lets go of
                // MODE, so MODE goes down after it), before or after the key is sampled.
                if (Chance(0.7)) plan.push_back({Act::Wait, static_cast<uint32_t>(Between(0, 6))});
                plan.push_back({Act::ModeDown});
                plan.push_back({Act::Wait, static_cast<uint32_t>(Between(1, 60))});
                plan.push_back({Act::ModeUp});
            }
            return;
        }
        // In the menu, now and then walk to an item chosen at random and act on it, so that
        // every item's action comes up (the dose reset needs two long presses on its item).
        const bool menu = MenuActive != 0 && EditorActive == 0 && PowerKeyEnabled != 0;
        if (menu && menuTarget < 0 && Chance(0.3)) {
            menuTarget = static_cast<int>(Below(15));
            seekPresses = 0;
        }
        if (!menu) menuTarget = -1;
        if (menuTarget >= 0) {
            if (MenuIndex == menuTarget) {
                PlanPress(static_cast<uint32_t>(Between(15, 20)));
                menuTarget = -1;
            } else {
                PlanPress(static_cast<uint32_t>(Between(1, 5)));
                if (++seekPresses > 20) menuTarget = -1;  // not in this menu's ring
            }
            ++Seen.modePresses;
            plan.push_back({Act::Wait, static_cast<uint32_t>(Between(1, 10))});
            return;
        }
        const uint64_t r = Below(100);
        if (r < 58) {
            PlanPress(PressLength());
            ++Seen.modePresses;
        } else if (r < 60) {
            // MODE held, and POWER clicked with the other mouse button: its release lets go
            // of MODE too, as in the window.
            plan.push_back({Act::ModeDown});
            plan.push_back({Act::Wait, static_cast<uint32_t>(Between(0, 20))});
            plan.push_back({Act::Power});
        } else if (r < 62) {
            plan.push_back({Act::Power});
        } else if (r < 72) {
            plan.push_back(RandomClick());
        } else if (r < 82) {
            plan.push_back({Act::Pulses, static_cast<uint32_t>(Between(1, 255))});
        } else if (r < 85) {
            // A strong source held to the detector: alarms, over-range, the saturating dose.
            plan.push_back({Act::Burst, static_cast<uint32_t>(Between(1, 255)),
                            static_cast<uint32_t>(Between(10, 600))});
        } else {
            // Leave it alone: while measuring long enough for periodic announcements and the
            // backlight to go out; the menu has no time-out, so a shorter pause there.
            const bool measuring = MenuActive == 0 && EditorActive == 0 && PowerKeyEnabled != 0;
            plan.push_back({Act::Wait, static_cast<uint32_t>(measuring ? Between(100, 1500)
                                                                       : Between(10, 100))});
        }
        plan.push_back({Act::Wait, static_cast<uint32_t>(Below(4) == 0 ? 0 : Between(1, 40))});
    }

    void Apply(const Action& action) {
        log[logged++ % 24] = {tick, action};
        switch (action.act) {
            case Act::ModeDown:
                SimPress(SimMode);
                modeHeld = true;
                break;
            case Act::ModeUp:
                SimMouseUp();
                modeHeld = false;
                break;
            case Act::Power:
                ++Seen.powerClicks;
                SimPress(SimPower);
                SimMouseUp();
                modeHeld = false;
                break;
            case Act::Click:
                ++Seen.panelClicks;
                SimMouseDown(static_cast<int32_t>(action.a), static_cast<int32_t>(action.b));
                SimMouseUp();
                modeHeld = false;
                break;
            case Act::Pulses:
                ++Seen.extraPulses;
                SimCheckSource(action.a);
                break;
            case Act::Burst:
                burstPerTick = action.a;
                burstTicks = action.b;
                break;
            case Act::Wait:
                break;
        }
    }

    // POWER at the moments that matter most: in the power-on, in the editor, right after an
    // announcement or a farewell was played.
    void TargetedPower() {
        if (FirmwareRunning.load() == 0) return;
        double p = 0;
        if (PowerKeyEnabled == 0) p = 0.01;
        if (EditorActive != 0) p = 0.004;
        if (PlayedThisTick > 4000) p = 0.05;
        if (p > 0 && Chance(p)) Apply({Act::Power});
    }

    // --- Invariants ----------------------------------------------------------------------

    static bool FontHas(uint8_t code) {
        static bool table[256];
        static bool scanned = false;
        if (!scanned) {
            for (uint32_t i = 0; i < GlyphFontSize && GlyphFont[i] != 0;) {
                table[GlyphFont[i + 1]] = true;
                i += 4u + GlyphFont[i];
            }
            scanned = true;
        }
        return table[code];
    }

    // Threads of this process; -1 where the system does not tell (the check is then left out:
    // a Windows build under Wine sees Wine's own threads come and go).
    static int ThreadCount() {
#ifndef __linux__
        return -1;
#endif
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
        }
        return -1;
    }

    bool Fail(const std::string& what) {
        if (failure.empty()) failure = what;
        return false;
    }

    bool Check() {
        if (!SoundFault.empty()) return Fail("sound service: " + SoundFault);

        const uint32_t running = FirmwareRunning.load();
        for (int i = 0; i < LcdCellCount; ++i) {
            const uint8_t c = LcdCells[i].load();
            if (c != 0x20 && !FontHas(c))
                return Fail("LCD cell " + std::to_string(i) + " holds code " + std::to_string(c) +
                            ", which has no glyph");
        }
        const int32_t position = LcdPosition.load();
        if (position < 0 || position > 75)
            return Fail("LcdPosition " + std::to_string(position) + " outside 0-75");
        if (SampleCount.load() > SampleCapacity)
            return Fail("SampleCount " + std::to_string(SampleCount.load()) + " over capacity");

        // The retained settings, once they have their factory values.
        if (RetainedSignature == RetainedSignatureValid) {
            if ((SettingsFlags.load() & 0xF8) != 0)
                return Fail("SettingsFlags " + std::to_string(SettingsFlags.load()) +
                            " has bits 3-7 set");
            const uint8_t bt = BacklightTime;
            if (bt != 0 && bt != 15 && bt != 30 && bt != 60)
                return Fail("BacklightTime " + std::to_string(bt));
            if (ParamGN > 4) return Fail("ParamGN " + std::to_string(ParamGN));
            if (ParamSF < 1 || ParamSF > 9) return Fail("ParamSF " + std::to_string(ParamSF));
            if (ParamAE > 9) return Fail("ParamAE " + std::to_string(ParamAE));
            if (DeviceVariant != 0 && DeviceVariant != 2)
                return Fail("DeviceVariant " + std::to_string(DeviceVariant));
            const uint8_t m = MeasureMode;
            if (m != 0 && m != 1 && m != 2 && m != 4 && m != 8)
                return Fail("MeasureMode " + std::to_string(m));
            if (!(AccumulatedDose >= 0.0f && AccumulatedDose <= 9999.9f))
                return Fail("AccumulatedDose " + std::to_string(AccumulatedDose) +
                            " outside 0-9999.9");
            if (!std::isfinite(DoseRateThreshold) || !std::isfinite(FluxThreshold) ||
                !std::isfinite(DoseThreshold) || DoseRateThreshold < 0 || FluxThreshold < 0 ||
                DoseThreshold < 0)
                return Fail("an alarm threshold is negative or not finite");
        }

        // The dose never falls, except by the second long press on the dose-reset item.
        if (AccumulatedDose < lastDose) {
            const bool reset = lastArmed == 1 && DoseResetArmed == 0 && AccumulatedDose == 0.0f;
            if (!reset)
                return Fail("the accumulated dose fell from " + std::to_string(lastDose) + " to " +
                            std::to_string(AccumulatedDose) + " without the dose reset");
            ++Seen.doseResets;
        }
        lastDose = AccumulatedDose;
        lastArmed = DoseResetArmed;

        if (running != 0) {
            const uint8_t park = FirmwarePark;
            if (park != ParkedInWait && park != ParkedOnModeKey)
                return Fail("the firmware is not waiting after the tick");
            // While measuring (the power-on over, not in the menu, waiting for a tick).
            if (park == ParkedInWait && PowerKeyEnabled == 1 && MenuActive == 0) {
                const uint8_t m = MeasureMode;
                if (m != 1 && m != 2 && m != 4 && m != 8)
                    return Fail("measuring with MeasureMode " + std::to_string(m));
            }
            if (MenuActive == 1 && PowerKeyEnabled == 1 && MenuIndex > 14)
                return Fail("MenuIndex " + std::to_string(MenuIndex));
            if (LcdCursorOn.load() != 0 && EditorActive == 0)
                return Fail("the cursor is on outside the numeric editor");
            // A complete sound does not stay in the buffer past its tick.
            if (SoundReady.load() == 1 && SampleCount.load() != 0)
                return Fail("a complete sound of " + std::to_string(SampleCount.load()) +
                            " samples was left unplayed");
        } else {
            if (FirmwarePark != ParkedStopped || FirmwareThreadHandle.load() != 0)
                return Fail("instrument off but the firmware is not stopped");
            for (int i = 0; i < LcdCellCount; ++i) {
                if (LcdCells[i].load() != 0x20) return Fail("instrument off but the LCD not blank");
            }
            if (LcdCursorOn.load() != 0 || BacklightOn.load() != 0)
                return Fail("instrument off with cursor or backlight on");
            if (lastRunning != 0) {
                // Just switched off: no thread of any kind was left behind (the firmware is a
                // fiber of this thread).
                ++Seen.powerOffs;
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                int threads = ThreadCount();
                while (threads > baselineThreads && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                    threads = ThreadCount();
                }
                if (threads > baselineThreads)
                    return Fail("a thread was left behind after the power-off (" +
                                std::to_string(threads) + " threads, " +
                                std::to_string(baselineThreads) + " before the first power-on)");
            }
        }
        lastRunning = running;
        return true;
    }

    void Observe() {
        ++Seen.ticks;
        for (int i = 0; i < LcdCellCount; ++i) Mix(LcdCells[i].load());
        Mix(static_cast<uint64_t>(LcdPosition.load()) << 8 | uint64_t{LcdCursorOn.load() != 0});
        Mix(uint64_t{BacklightOn.load() != 0} << 32 | PlayedThisTick);

        if (FirmwareRunning.load() == 0) {
            ++Seen.ticksOff;
            return;
        }
        if (ReducedVariant == 1) ++Seen.reducedTicks;
        if (OverRange.load() != 0) ++Seen.overRangeTicks;
        if (ThresholdAlarm.load() != 0 || DoseAlarm != 0) ++Seen.alarmTicks;
        if (FirmwarePark == ParkedOnModeKey) {
            ++Seen.ticksHeldOnModeKey;
        } else if (PowerKeyEnabled == 0) {
            ++Seen.ticksPowerOn;
        } else if (EditorActive != 0) {
            ++Seen.ticksEditor;
        } else if (MenuActive != 0) {
            ++Seen.ticksMenu;
        } else if (MeasureMode <= 8) {
            ++Seen.ticksMeasuring[MeasureMode];
        }
    }

    // One host tick as a front end runs it, then the checks.
    bool Tick() {
        if (burstTicks != 0) {
            SimCheckSource(burstPerTick);
            --burstTicks;
        }
        const uint32_t wasRunning = FirmwareRunning.load();
        const uint32_t sampleCountBefore = SampleCount.load();
        const uint32_t toSecondBefore = TicksToSecond.load();
        const bool serviceBefore = MenuActive == 1 && ServiceLocked == 0;
        PlayedThisTick = 0;
        SimTick();
        // A window repaints at its own pace: a frame every tenth tick keeps the drawing of
        // every kind of screen exercised without its pixel copies ruling the run's time under
        // the sanitizers.
        if (tick % 10 == 0) SimFrame();
        ++tick;
        if (wasRunning == 0 && (SampleCount.load() != sampleCountBefore ||
                                TicksToSecond.load() != toSecondBefore || PlayedThisTick != 0)) {
            return Fail("a tick while the instrument was off changed the machine");
        }
        if (!serviceBefore && MenuActive == 1 && ServiceLocked == 0 && FirmwareRunning.load())
            ++Seen.serviceMenus;
        Observe();
        return Check();
    }

    void PrintFailure(const Options& o) {
        std::fprintf(stderr, "drk_soak: FAILED: seed %llu, tick %llu: %s\n",
                     static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(tick),
                     failure.c_str());
        std::fprintf(stderr, "drk_soak: replay with: drk_soak --seed %llu --hours %g\n",
                     static_cast<unsigned long long>(o.seed), o.hours);
        std::fprintf(stderr, "drk_soak: the last input events (tick: event):\n");
        const uint32_t n = logged < 24 ? logged : 24;
        for (uint32_t k = logged - n; k < logged; ++k) {
            const Logged& e = log[k % 24];
            std::fprintf(stderr, "  %llu: %s", static_cast<unsigned long long>(e.tick),
                         ActName(e.action.act));
            if (e.action.act == Act::Click) std::fprintf(stderr, " %u %u", e.action.a, e.action.b);
            if (e.action.act == Act::Pulses) std::fprintf(stderr, " %u", e.action.a);
            if (e.action.act == Act::Burst)
                std::fprintf(stderr, " %u per tick for %u ticks", e.action.a, e.action.b);
            std::fputc('\n', stderr);
        }
    }

    // The whole run; false on the first broken invariant.
    bool Run(uint64_t ticks) {
        // A sanitizer's runtime starts helper threads of its own with the process's first
        // thread; one thread started and joined first keeps them out of the count.
        std::thread([] {}).join();
        baselineThreads = ThreadCount();
        SimUseCarriedResources();
        SimSetSoundService(CheckingSoundService);
        SimStart();
        ++Seen.powerOns;
        lastRunning = FirmwareRunning.load();
        if (!Check()) return false;
        while (tick < ticks) {
            if (plan.empty()) Generate();
            const Action action = plan.front();
            plan.pop_front();
            if (action.act != Act::Wait) {
                const bool off = FirmwareRunning.load() == 0;
                Apply(action);
                if (off && FirmwareRunning.load() != 0) ++Seen.powerOns;
                continue;
            }
            for (uint32_t i = 0; i < action.a && tick < ticks; ++i) {
                if (!Tick()) return false;
                const bool off = FirmwareRunning.load() == 0;
                TargetedPower();
                if (off && FirmwareRunning.load() != 0) ++Seen.powerOns;
            }
        }
        // Leave as a user would: switched off, and no firmware thread behind.
        if (modeHeld) Apply({Act::ModeUp});
        if (FirmwareRunning.load() != 0) Apply({Act::Power});
        for (int i = 0; i < 600 && FirmwareRunning.load() != 0; ++i) {
            if (!Tick()) return false;
        }
        if (FirmwareRunning.load() != 0) return Fail("a power click at the end did not switch off");
        return true;
    }
};

void PrintReport(const Options& o, double seconds) {
    const Coverage& c = Seen;
    const double hours = static_cast<double>(c.ticks) / TicksPerHour;
    std::printf(
        "drk_soak: seed %llu: %.2f instrument hours (%llu ticks) in %.1f s wall: %.0f "
        "ticks/s, %.0fx real time\n",
        static_cast<unsigned long long>(o.seed), hours, static_cast<unsigned long long>(c.ticks),
        seconds, static_cast<double>(c.ticks) / seconds,
        static_cast<double>(c.ticks) / 10 / seconds);
    std::printf(
        "  ticks: off %llu, power-on %llu, held at power-on %llu, gamma %llu, beta %llu, "
        "alpha %llu, dose %llu, menu %llu, editor %llu, reduced variant %llu\n",
        static_cast<unsigned long long>(c.ticksOff),
        static_cast<unsigned long long>(c.ticksPowerOn),
        static_cast<unsigned long long>(c.ticksHeldOnModeKey),
        static_cast<unsigned long long>(c.ticksMeasuring[1]),
        static_cast<unsigned long long>(c.ticksMeasuring[2]),
        static_cast<unsigned long long>(c.ticksMeasuring[4]),
        static_cast<unsigned long long>(c.ticksMeasuring[8]),
        static_cast<unsigned long long>(c.ticksMenu),
        static_cast<unsigned long long>(c.ticksEditor),
        static_cast<unsigned long long>(c.reducedTicks));
    std::printf(
        "  input: %llu mode presses, %llu power clicks, %llu panel clicks, %llu "
        "check-source pulses\n",
        static_cast<unsigned long long>(c.modePresses),
        static_cast<unsigned long long>(c.powerClicks),
        static_cast<unsigned long long>(c.panelClicks),
        static_cast<unsigned long long>(c.extraPulses));
    std::printf(
        "  seen: %llu power-ons, %llu power-offs, %llu service menus, %llu dose resets, "
        "%llu over-range ticks, %llu alarm ticks\n",
        static_cast<unsigned long long>(c.powerOns), static_cast<unsigned long long>(c.powerOffs),
        static_cast<unsigned long long>(c.serviceMenus),
        static_cast<unsigned long long>(c.doseResets),
        static_cast<unsigned long long>(c.overRangeTicks),
        static_cast<unsigned long long>(c.alarmTicks));
    std::printf("  sound: %llu plays, %llu samples, longest %llu samples; dose now %.6f mSv\n",
                static_cast<unsigned long long>(c.soundsPlayed),
                static_cast<unsigned long long>(c.samplesPlayed),
                static_cast<unsigned long long>(c.longestSound),
                static_cast<double>(AccumulatedDose));
    std::printf("  digest %016llx\n", static_cast<unsigned long long>(c.digest));
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        char* end = nullptr;
        if (arg == "--seed" && i + 1 < argc) {
            o.seed = std::strtoull(argv[++i], &end, 10);
            if (*end != 0) return false;
        } else if (arg == "--hours" && i + 1 < argc) {
            o.hours = std::strtod(argv[++i], &end);
            if (*end != 0 || !(o.hours > 0) || o.hours > 10000) return false;
        } else if (arg == "--report") {
            o.report = true;
        } else if (arg == "--replay") {
            o.replay = true;
        } else if (arg == "--help") {
            o.help = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const char* usage =
        "usage: drk_soak [--seed S] [--hours H] [--report] [--replay]\n"
        "  --seed S   seed of the random input (default 1); the same seed replays a run\n"
        "  --hours H  instrument hours to run (default 1)\n"
        "  --report   print what the run covered, its digest and its speed\n"
        "  --replay   run the seed twice in this process; fail unless both runs agree\n";
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (o.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    const auto ticks = static_cast<uint64_t>(std::llround(o.hours * TicksPerHour));

    const auto start = std::chrono::steady_clock::now();
    Soak soak(o.seed);
    const bool ok = soak.Run(ticks);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        soak.PrintFailure(o);
        return 1;
    }
    if (o.report) PrintReport(o, seconds);

    if (o.replay) {
        const uint64_t first = Seen.digest;
        SimReset();
        Seen = Coverage{};
        Soak again(o.seed);
        if (!again.Run(ticks)) {
            again.PrintFailure(o);
            return 1;
        }
        if (Seen.digest != first) {
            std::fprintf(stderr,
                         "drk_soak: FAILED: seed %llu: the replay gave digest %016llx, the first "
                         "run %016llx\n",
                         static_cast<unsigned long long>(o.seed),
                         static_cast<unsigned long long>(Seen.digest),
                         static_cast<unsigned long long>(first));
            return 1;
        }
        std::printf("drk_soak: seed %llu: the replay gave the same digest %016llx\n",
                    static_cast<unsigned long long>(o.seed),
                    static_cast<unsigned long long>(first));
    }
    SimReset();
    return 0;
}
