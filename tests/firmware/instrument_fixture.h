// The whole instrument under test: the real firmware on its thread, driven through the two
// panel buttons in lock-step, with helpers for the key gestures and power cycles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/firmware_state.h"
#include "peripherals/speech_memory.h"
#include "support/machine.h"

// Ticks from the power-on to the first measuring screen: five of settling, three of LCD
// initialisation, twenty of the power-on screen.
inline constexpr int PowerOnTicks = 28;

// The samples of speech message n, read from the image's directory and pages.
inline std::vector<uint8_t> MessageSamples(uint8_t n) {
    const uint8_t* directory = VoiceImageBase + VoiceHeaderSize;
    uint32_t page = 1;
    for (uint8_t i = 0; i < n; ++i) page += directory[i];
    const uint8_t* start = VoiceImageBase + VoiceHeaderSize + page * VoicePageSize;
    return std::vector<uint8_t>(start, start + directory[n] * VoicePageSize);
}

// LCD line as text for comparisons with expected strings in ROM-glyph codes.
inline std::string Glyphs(std::initializer_list<uint8_t> codes) {
    return std::string(codes.begin(), codes.end());
}

class InstrumentTest : public MachineTest {
protected:
    void PowerOnToMeasuring() {
        Start();
        Tick(PowerOnTicks);
    }
    // A press of a few polls, reported by the poll that finds the key released. The ticks
    // leave room for a refresh that takes a tick without a poll (a closing second).
    void ShortPress() {
        PressMode(3);
        Tick(2);
    }
    // Held past the fifteenth poll, then released: one long press. The two released ticks
    // let the key poll see the release even when the action first refreshes the display
    // (the editor does), so that the next press starts afresh.
    void LongPress() {
        PressMode(20);
        Tick(2);
    }
    void ShortPresses(int n) {
        for (int i = 0; i < n; ++i) ShortPress();
    }
    // POWER while running; ticks until the firmware has switched itself off.
    void PowerOff() {
        ClickPower();
        for (int i = 0; i < 100 && FirmwareRunning.load() != 0; ++i) Tick(1);
        ASSERT_EQ(FirmwareRunning.load(), 0u) << "the instrument did not switch off";
    }
    // POWER while off, then the whole power-on.
    void PowerOnAgain() {
        ClickPower();
        Tick(PowerOnTicks);
    }
    // True when the samples played so far contain `part` as a contiguous run.
    bool PlayedContains(const std::vector<uint8_t>& part) const {
        const std::vector<uint8_t> all = PlayedSamples();
        if (part.empty() || all.size() < part.size()) return false;
        for (size_t i = 0; i + part.size() <= all.size(); ++i) {
            if (std::equal(part.begin(), part.end(), all.begin() + static_cast<long>(i))) {
                return true;
            }
        }
        return false;
    }
};
