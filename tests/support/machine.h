// Test fixture: the whole simulated machine, driven tick by tick through the simulator's
// surface.
//
// Every test starts from the program-start state and leaves no firmware behind. The
// fixture's sound service records what the host plays.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/main_program.h"
#include "host/firmware_thread.h"
#include "host/host_tick.h"
#include "host/reset.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/sound_output.h"
#include "peripherals/timer_isr.h"
#include "simulator.h"

struct PlayedSounds {
    std::vector<std::vector<uint8_t>> wavs;  // each playback's whole WAV image
    static void Service(const uint8_t* wav, uint32_t bytes);
    static PlayedSounds* current;
};

class MachineTest : public ::testing::Test {
protected:
    PlayedSounds played;

    void SetUp() override {
        SimReset();
        PlayedSounds::current = &played;
        SimSetSoundService(PlayedSounds::Service);
    }
    void TearDown() override {
        SimReset();
        SimSetSoundService(nullptr);
        PlayedSounds::current = nullptr;
    }

    // Starts the instrument as the window does: power-on, then the LCD view.
    void Start(FirmwareEntryFn entry = FirmwareMain) {
        FirmwareEntry = entry;
        SimStart();
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) SimTick();
    }
    void ModeDown() { SimPress(SimMode); }
    void ModeUp() { SimMouseUp(); }
    // MODE held for `ticks` ticks, then released.
    void PressMode(int ticks) {
        ModeDown();
        Tick(ticks);
        ModeUp();
    }
    void ClickPower() {
        SimPress(SimPower);
        SimMouseUp();
    }
    // LCD line 0 or 1 as raw glyph codes.
    static std::vector<uint8_t> Cells(int line) {
        SimTickReport report;
        SimReport(&report);
        return std::vector<uint8_t>(report.cells + line * 12, report.cells + line * 12 + 12);
    }
    // LCD line as a string of glyph codes (printable for ASCII).
    static std::string Line(int line) {
        std::string s;
        for (uint8_t c : Cells(line)) s.push_back(static_cast<char>(c));
        return s;
    }
    // All samples played so far, in order.
    std::vector<uint8_t> PlayedSamples() const {
        std::vector<uint8_t> all;
        for (const auto& w : played.wavs) all.insert(all.end(), w.begin() + 44, w.end());
        return all;
    }
};
