// The surface's procedures: each one a thin door onto the host, the shell or a peripheral.
#include "simulator.h"

#include "firmware/firmware_state.h"
#include "firmware/speech.h"
#include "host/host_tick.h"
#include "host/reset.h"
#include "host/shell.h"
#include "peripherals/lcd_controller.h"
#include "peripherals/lcd_renderer.h"
#include "peripherals/pulse_source.h"
#include "peripherals/sound_output.h"
#include "peripherals/speech_memory.h"
#include "peripherals/timer_isr.h"

#ifndef DRK_VERSION
#error "the build sets DRK_VERSION"
#endif

namespace {

SimSoundFn FrontEndSound = nullptr;
uint32_t PlayedLastTick = 0;  // samples handed to the front end's service in the last tick
uint32_t FramePixels[PanelMaxWidth * PanelMaxHeight];

// The sound service the core calls: counts what it plays, then hands it on.
void CountingSoundService(const uint8_t* wav, uint32_t bytes) {
    if (bytes > WavHeaderSize) PlayedLastTick += bytes - WavHeaderSize;
    if (FrontEndSound != nullptr) FrontEndSound(wav, bytes);
}

uint32_t ButtonCentre(SimButton button, int axis) {
    const ButtonRecord& b = ButtonTable[button == SimPower ? 0 : 1];
    return static_cast<uint32_t>(axis == 0 ? b.left + ButtonSize / 2 : b.top + ButtonSize / 2);
}

}  // namespace

const char* SimVersion() {
    return DRK_VERSION;
}

void SimSetSoundService(SimSoundFn service) {
    FrontEndSound = service;
    SoundService = CountingSoundService;
}

bool SimSetPanelPicture(const uint8_t* bmp, uint32_t size) {
    return InstallPanelPicture(bmp, size);
}

void SimSetVoiceImage(const uint8_t* image, uint32_t size) {
    VoiceImageBase = image;
    VoiceImageLength = size;
}

void SimStart() {
    SoundService = CountingSoundService;
    PlayedLastTick = 0;
    PulsesLastTick = 0;
    StartupPowerOn();
    InitLcdView();
}

void SimTick() {
    PlayedLastTick = 0;
    PulsesLastTick = 0;
    HostTick();
}

void SimReset() {
    ResetSimulator();
    PlayedLastTick = 0;
}

void SimSeed(uint32_t seed) {
    SeedPulseSource(seed);
}

int64_t NextTickDue(int64_t due, int64_t now) {
    const int64_t next = due + TickPeriodUs;
    return next <= now ? now : next;
}

void SimMouseDown(int32_t x, int32_t y) {
    // The window reports 16-bit unsigned positions; a position left of or above the window
    // wraps, as it does there.
    ButtonPress(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
}

void SimMouseUp() {
    ButtonRelease();
}

void SimPress(SimButton button) {
    ButtonPress(ButtonCentre(button, 0), ButtonCentre(button, 1));
}

void SimRelease(SimButton button) {
    if (button == SimMode) ButtonRelease();
}

int SimButtonAt(int32_t x, int32_t y) {
    if (x < 0 || y < 0) return -1;
    for (int i = 0; i < 2; ++i) {
        if (ButtonHit(i, static_cast<uint32_t>(x), static_cast<uint32_t>(y))) return i;
    }
    return -1;
}

void SimButtonBox(SimButton button, int32_t box[4]) {
    const ButtonRecord& b = ButtonTable[button == SimPower ? 0 : 1];
    box[0] = b.left;
    box[1] = b.top;
    box[2] = b.right;
    box[3] = b.bottom;
}

void SimLcdBox(int32_t box[4]) {
    box[0] = LcdRect.left;
    box[1] = LcdRect.top;
    box[2] = LcdRect.left + LcdRect.width;
    box[3] = LcdRect.top + LcdRect.height;
}

bool SimModeHeld() {
    return ModeKeyLevel.load() == 0;
}

void SimCheckSource(uint32_t pulses) {
    // A detector without power counts nothing: pulses held to it while off are lost, not
    // stored up for the next power-on.
    if (FirmwareRunning.load() == 0) return;
    CheckSourcePulses += pulses;
}

const uint32_t* SimFrame() {
    RedrawLcd();
    const int32_t count = PanelWidth * PanelHeight;
    const uint8_t* rgb = PanelFrame;
    for (int32_t i = 0; i < count; ++i, rgb += 3) {
        FramePixels[i] = 0xFF000000u | uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
    }
    return FramePixels;
}

int32_t SimFrameWidth() {
    return PanelWidth;
}

int32_t SimFrameHeight() {
    return PanelHeight;
}

void SimReport(SimTickReport* report) {
    const bool on = FirmwareRunning.load() != 0;
    report->on = on ? 1 : 0;
    for (int i = 0; i < SimCellCount; ++i)
        report->cells[i] = LcdCells[i].load(std::memory_order_relaxed);
    const int32_t position = LcdPosition.load();
    report->cursor = LcdCursorOn.load() == 1 && position >= 0 && position < SimCellCount
                         ? static_cast<int8_t>(position)
                         : int8_t{-1};
    report->backlight = BacklightOn.load() != 0 ? 1 : 0;
    report->pulses = PulsesLastTick;
    report->played = PlayedLastTick;
}

uint8_t SimAlarms() {
    // A power-off ends the firmware inside its measurement, which leaves its flags as they
    // were: an instrument that is off raises no alarm.
    if (FirmwareRunning.load() == 0) return 0;
    uint8_t alarms = 0;
    if (ThresholdAlarm.load() != 0) alarms |= SimAlarmThreshold;
    if (OverRange.load() != 0) alarms |= SimAlarmOverRange;
    if (DoseAlarm != 0) alarms |= SimAlarmDose;
    return alarms;
}

void SimPlayedSound(SimSoundReport* report) {
    static_assert(SimSoundMessagesMax == SoundLogMessages);
    *report = SimSoundReport{};
    if (PlayedLastTick == 0) return;
    report->samples = PlayedLastTick;
    report->clicks = PlayedSoundLog.clicks;
    report->tones = PlayedSoundLog.tones;
    report->messageCount = PlayedSoundLog.messageCount;
    for (uint32_t i = 0; i < PlayedSoundLog.messageCount && i < SoundLogMessages; ++i)
        report->messages[i] = PlayedSoundLog.messages[i];
}

const char* SimCellText(uint8_t code) {
    // UTF-8 of every code, built once: ASCII 0x20-0x7D, the Cyrillic letters from 0xC0
    // (А-Я, а-я, U+0410-U+044F), the display's symbols; a space for codes without a glyph.
    static char text[256][8];
    static bool built = false;
    if (!built) {
        for (int c = 0; c < 256; ++c) {
            char* out = text[c];
            if (c >= 0x20 && c <= 0x7D) {
                out[0] = static_cast<char>(c);
            } else if (c >= 0xC0) {
                const uint32_t cp = 0x0410u + static_cast<uint32_t>(c - 0xC0);
                out[0] = static_cast<char>(0xC0 | (cp >> 6));
                out[1] = static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out[0] = ' ';
            }
        }
        const struct {
            uint8_t code;
            const char* utf8;
        } symbols[] = {
            {0x5E, "\u207B\u00B2"},  // ⁻²
            {0x7E, "\u207B\u00B9"},  // ⁻¹
            {0x01, "\u00B1"},        // ±
            {0x02, "\u25AF"},        // ▯ battery outline
            {0x1D, "\u2190"},        // ←
            {0x1E, "?"},
            {0x1F, "\u00D7"},  // ×
            {0xB5, "\u00B5"},  // µ
            {0xB9, "\u2116"},  // №
        };
        for (const auto& s : symbols) {
            int i = 0;
            for (; s.utf8[i] != 0; ++i) text[s.code][i] = s.utf8[i];
            text[s.code][i] = 0;
        }
        built = true;
    }
    return text[code];
}

void SimWavHeader(uint8_t header[44], uint32_t samples) {
    WriteWavHeader(header, samples);
}

bool SimSay(const uint8_t* list, int count) {
    uint64_t samples = 0;
    for (int i = 0; i < count; ++i)
        if (list[i] != NoMessage) samples += uint64_t{VoiceMessagePages(list[i])} * VoicePageSize;
    if (samples > SampleCapacity) return false;
    SoundService = CountingSoundService;
    SampleRepeat.store(1);
    SampleCount.store(0);
    ClearSampleBufferLog();
    PlayedLastTick = 0;
    BeginUtterance();
    for (int i = 0; i < count; ++i) PlayMessage(list[i]);
    EndUtterance();
    if (SampleCount.load() != 0) WavPlayer();
    return true;
}
