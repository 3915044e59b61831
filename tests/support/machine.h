// Test fixture: the whole simulated machine in lock-step, driven tick by tick.
//
// Every test starts from the program-start state and leaves no firmware thread behind. The
// fixture's sound service records what the host plays.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/main_program.h"
#include "host/host_tick.h"
#include "host/shell.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/sound_output.h"

struct PlayedSounds {
    std::vector<std::vector<uint8_t>> wavs;  // each playback's whole WAV image
    static void Service(const uint8_t* wav, uint32_t bytes);
    static PlayedSounds* current;
};

class MachineTest : public ::testing::Test {
protected:
    PlayedSounds played;

    void SetUp() override {
        ResetSimulator();
        PlayedSounds::current = &played;
        SoundService = PlayedSounds::Service;
    }
    void TearDown() override {
        ResetSimulator();
        SoundService = nullptr;
        PlayedSounds::current = nullptr;
    }

    // Starts the instrument as the window does: power-on, then the LCD view.
    void Start(FirmwareEntryFn entry = FirmwareMain) {
        FirmwareEntry = entry;
        StartupPowerOn();
        InitLcdView();
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            HostTick();
            ASSERT_EQ(ParkTimeout.load(), 0) << "firmware did not park";
        }
    }
    void ModeDown() { ButtonPress(ButtonTable[1].left + 15, ButtonTable[1].top + 15); }
    void ModeUp() { ButtonRelease(); }
    // MODE held for `ticks` ticks, then released.
    void PressMode(int ticks) {
        ModeDown();
        Tick(ticks);
        ModeUp();
    }
    void ClickPower() {
        ButtonPress(ButtonTable[0].left + 15, ButtonTable[0].top + 15);
        ButtonRelease();
    }
    // LCD line 0 or 1 as raw glyph codes.
    static std::vector<uint8_t> Cells(int line) {
        std::vector<uint8_t> cells;
        for (int i = 0; i < 12; ++i) cells.push_back(LcdCells[line * 12 + i].load());
        return cells;
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
