// The simulator's surface: the one header through which every front end (the headless
// runner, the desktop app, the Windows shell, the web page) and every test driver reaches
// the core. Plain procedures, like the rest of the code.
//
// Everything runs on the caller's thread. The instrument's firmware is a fiber of that
// thread: it runs its step inside SimTick (and inside the input calls that release one of
// its waits) and is parked again when they return. So a run is the same for the same calls,
// whatever the machine is doing.
//
// A front end installs its sound service and, if it carries its own, the panel picture and
// the speech image; calls SimStart when its window appears; calls SimTick every 100 ms
// (NextTickDue) or as fast as it likes; turns its input into SimMouseDown/SimMouseUp or
// SimPress/SimRelease; and shows SimFrame after each tick and whenever it must repaint.
#pragma once

#include <cstdint>

// The simulator's version, "MAJOR.MINOR.PATCH", as set once in the build.
const char* SimVersion();

// --- Services and resources (before SimStart) ----------------------------------------------

// The platform's sound service: plays an in-memory WAV image (8000 Hz, 8-bit unsigned, mono)
// to its end, then returns. The tick that plays a sound waits for it, as the instrument's
// original sound call did. nullptr: sounds are dropped.
using SimSoundFn = void (*)(const uint8_t* wav, uint32_t bytes);
void SimSetSoundService(SimSoundFn service);

// The panel picture as a 24-bit BMP file image, held (not copied) for the whole run. False
// (and a plain light-grey face of the full size) when it cannot be used; without a picture
// the face is plain light grey.
bool SimSetPanelPicture(const uint8_t* bmp, uint32_t size);
// The speech memory image, held for the whole run. Without one the speech is silent.
void SimSetVoiceImage(const uint8_t* image, uint32_t size);
// Both from the copies the build embeds in the program (the drk_resources library; the
// Windows program reads its own resources instead).
void SimUseCarriedResources();

// --- Running -------------------------------------------------------------------------------

// What the window's creation does: instrument off, MODE released, power-on, LCD view.
void SimStart();
// One host tick: 100 ms of instrument time. Plays the tick's sound through the service.
void SimTick();
// Everything back to the program-start state (a front end that starts over; tests).
void SimReset();
// Before SimStart: the detector draws a sequence of pulses of its own for `seed`, the same
// for the same seed. Without a call (and after SimReset) every run draws the same unseeded
// sequence.
void SimSeed(uint32_t seed);

// The tick period and the real-time schedule of a front end that ticks at the wall clock's
// pace: when the next tick is due, after the tick that was due at `due` has run and the time
// is now `now` (microseconds of a steady clock). One period after the last due time, so
// instrument time keeps pace with wall time; when a tick was held past one or more periods
// (a sound), the next tick is due at once and the schedule starts again from then.
inline constexpr int64_t TickPeriodUs = 100000;
int64_t NextTickDue(int64_t due, int64_t now);

// --- Input ---------------------------------------------------------------------------------

enum SimButton : uint8_t { SimPower = 0, SimMode = 1 };

// Either mouse button went down at panel (client) coordinates x, y: the panel buttons' hit
// test. POWER acts at once (power-on when off, a power-off request when on); MODE is held.
void SimMouseDown(int32_t x, int32_t y);
// Either mouse button went up inside the window: MODE is released, wherever the pointer is.
void SimMouseUp();
// A button pressed or released by name, as by a mouse button in its square (scripts, keys).
// POWER acts on the press; its release does nothing. MODE is held from press to release.
void SimPress(SimButton button);
void SimRelease(SimButton button);
// The button whose sensitive square holds (x, y), or -1.
int SimButtonAt(int32_t x, int32_t y);
// A button's 30 x 30 square on the panel: left, top, right and bottom edges (right and
// bottom excluded).
void SimButtonBox(SimButton button, int32_t box[4]);
// The LCD window on the panel (the rectangle the display is drawn into): left, top, right and
// bottom edges (right and bottom excluded).
void SimLcdBox(int32_t box[4]);
// True while MODE is held down (by the mouse or by SimPress).
bool SimModeHeld();

// Extra detector pulses from a check source: added to the next ticks, at most 255 a tick.
// While the instrument is off they are dropped, and a power-off drops those not yet added:
// nothing is stored up for the next power-on.
void SimCheckSource(uint32_t pulses);

// --- Output --------------------------------------------------------------------------------

inline constexpr int SimCellCount = 24;  // 12 cells a line, two lines

// The panel as the window shows it, with the LCD drawn in: SimFrameWidth() x
// SimFrameHeight() pixels, rows from the top, each pixel one 32-bit value 0xFFRRGGBB (in
// memory on a little-endian machine: blue, green, red, 255, the order of a 32-bit Windows
// bitmap and of SDL's ARGB8888). Redrawn by each call; valid until the next.
const uint32_t* SimFrame();
int32_t SimFrameWidth();
int32_t SimFrameHeight();

// What happened in the last tick and what the instrument shows now.
struct SimTickReport {
    uint8_t on;                   // 1 while the firmware runs (the instrument is on)
    uint8_t cells[SimCellCount];  // the LCD's glyph codes
    int8_t cursor;                // the cell under the cursor, -1 when it is not shown
    uint8_t backlight;            // 1 while the backlight is lit
    uint32_t pulses;              // detector pulses drawn in the last tick
    uint32_t played;              // samples handed to the sound service in the last tick
};
void SimReport(SimTickReport* report);

// What the sound played in the last tick (or by SimSay) held, all zero when nothing was
// played: the detector clicks and alarm tone bursts (one each alarmed second) that started in
// it and the speech memory's messages, in the order spoken.
inline constexpr int SimSoundMessagesMax = 64;
struct SimSoundReport {
    uint32_t samples;                       // as SimTickReport::played
    uint32_t clicks;                        // detector clicks
    uint32_t tones;                         // alarm tone bursts
    uint32_t messageCount;                  // speech messages, also those not listed
    uint8_t messages[SimSoundMessagesMax];  // the first of them
};
void SimPlayedSound(SimSoundReport* report);

// The instrument's alarms as they stand, one bit each; 0 when none is raised or it is off.
enum SimAlarm : uint8_t {
    SimAlarmThreshold = 1,  // the reading is at or above its alarm threshold
    SimAlarmOverRange = 2,  // the reading is beyond the measuring range
    SimAlarmDose = 4,       // the accumulated dose is at or above its threshold
};
uint8_t SimAlarms();

// The UTF-8 text of an LCD glyph code: ASCII as itself, the Cyrillic letters, the display's
// symbols (±, µ, ⁻¹, ...), a space for a code with no glyph.
const char* SimCellText(uint8_t code);

// Writes the 44-byte header of a WAV image of `samples` samples in the sound's format, the
// same header the sound service is handed (its samples follow the header).
inline constexpr int SimWavHeaderSize = 44;
void SimWavHeader(uint8_t header[SimWavHeaderSize], uint32_t samples);

// Plays the speech memory's messages `list[0..count)` as one sound through the sound service,
// without starting the instrument. False, and nothing played, when they do not fit the sound
// buffer.
bool SimSay(const uint8_t* list, int count);
