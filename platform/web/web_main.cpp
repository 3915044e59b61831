// The web page's door onto the simulator: the procedures the page's script calls, exported
// from the WebAssembly module, each a thin layer over the simulator's surface.
//
// The procedures that may run the firmware (start, tick, input) return nothing: under
// Asyncify a fiber switch returns from the export early (host/fiber_emscripten.cpp), so the
// page asks for the results afterwards with the getters.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame_pixels.h"
#include "interpreter.h"
#include "simulator.h"
#include "text.h"
#include "voice_texts.h"

namespace {

constexpr int CellsPerLine = SimCellCount / 2;
constexpr uint32_t HeaderBytes = SimWavHeaderSize;

// The sound of the last tick, where the core keeps its WAV image until its next sound.
const uint8_t* SoundWav = nullptr;
uint32_t SoundBytes = 0;

std::vector<uint8_t> FrameRgba;  // the frame in the byte order of the page's ImageData
// One LCD line as UTF-8: at most 5 bytes a cell (⁻¹ is a 3-byte and a 2-byte character).
char LineText[CellsPerLine * 5 + 1];
int32_t ButtonBox[4];
SimTickReport Report;
SimSoundReport Played;  // what the last tick's sound held (its messages, clicks, tones)

// A scenario the page plays in real time (index.html?scenario=FILE, or a file opened or
// dropped), its last action, and the text the getters hand out.
ScenarioPlayer Player;
bool Playing = false;
ScenarioAction::Kind LastAction = ScenarioAction::Done;
std::string ScenarioText;  // the parse error, a failure's message, the performed steps
std::string RoomText;      // the room as JSON

// The page's sound service: keeps the image for the page, which plays it through Web Audio.
// It returns at once; the page holds the next tick for the sound's length.
void KeepSound(const uint8_t* wav, uint32_t bytes) {
    SoundWav = wav;
    SoundBytes = bytes;
}

}  // namespace

extern "C" {

// The window's creation: the sound service, power-on, the LCD view.
EMSCRIPTEN_KEEPALIVE void WebStart() {
    SimUseCarriedResources();
    SimSetSoundService(KeepSound);
    SoundBytes = 0;
    SimStart();
}

// Factory settings: everything back to the program's start, then the window's creation again.
EMSCRIPTEN_KEEPALIVE void WebFactorySettings() {
    SimReset();
    WebStart();
}

// One host tick of 100 ms.
EMSCRIPTEN_KEEPALIVE void WebTick() {
    SoundBytes = 0;
    SimTick();
    SimPlayedSound(&Played);
}

EMSCRIPTEN_KEEPALIVE void WebMouseDown(int32_t x, int32_t y) {
    SimMouseDown(x, y);
}

EMSCRIPTEN_KEEPALIVE void WebMouseUp() {
    SimMouseUp();
}

EMSCRIPTEN_KEEPALIVE void WebPress(int32_t button) {
    SimPress(button == SimPower ? SimPower : SimMode);
}

EMSCRIPTEN_KEEPALIVE void WebRelease(int32_t button) {
    SimRelease(button == SimPower ? SimPower : SimMode);
}

// --- Getters (they never run the firmware) ----------------------------------------------------

// When the next tick is due (microseconds of the page's clock), as on the desktop. Doubles:
// the page's numbers.
EMSCRIPTEN_KEEPALIVE double WebNextTickDue(double due, double now) {
    return static_cast<double>(
        SimNextTickDue(static_cast<int64_t>(due), static_cast<int64_t>(now)));
}

EMSCRIPTEN_KEEPALIVE double WebTickPeriodUs() {
    return static_cast<double>(SimTickPeriodUs);
}

// The samples of the last tick's sound (8000 Hz, 8-bit unsigned, mono) and their number.
EMSCRIPTEN_KEEPALIVE const uint8_t* WebSoundSamples() {
    return SoundBytes > HeaderBytes ? SoundWav + HeaderBytes : nullptr;
}

EMSCRIPTEN_KEEPALIVE uint32_t WebSoundCount() {
    return SoundBytes > HeaderBytes ? SoundBytes - HeaderBytes : 0;
}

EMSCRIPTEN_KEEPALIVE int32_t WebFrameWidth() {
    return SimFrameWidth();
}

EMSCRIPTEN_KEEPALIVE int32_t WebFrameHeight() {
    return SimFrameHeight();
}

// The panel as the window shows it, 4 bytes a pixel: red, green, blue, 255.
EMSCRIPTEN_KEEPALIVE const uint8_t* WebFrame() {
    FramePixels(PixelOrder::Rgba, FrameRgba);
    return FrameRgba.data();
}

// A button's square: left, top, right, bottom (right and bottom excluded).
EMSCRIPTEN_KEEPALIVE const int32_t* WebButtonBox(int32_t button) {
    SimButtonBox(button == SimPower ? SimPower : SimMode, ButtonBox);
    return ButtonBox;
}

EMSCRIPTEN_KEEPALIVE int32_t WebButtonAt(int32_t x, int32_t y) {
    return SimButtonAt(x, y);
}

// Takes the instrument's state after a tick or an input; the getters below read it.
EMSCRIPTEN_KEEPALIVE void WebReport() {
    SimReport(&Report);
}

EMSCRIPTEN_KEEPALIVE int32_t WebOn() {
    return Report.on;
}

EMSCRIPTEN_KEEPALIVE int32_t WebBacklight() {
    return Report.backlight;
}

EMSCRIPTEN_KEEPALIVE int32_t WebCursor() {
    return Report.cursor;
}

EMSCRIPTEN_KEEPALIVE uint32_t WebPlayed() {
    return Report.played;
}

EMSCRIPTEN_KEEPALIVE uint32_t WebPulses() {
    return Report.pulses;
}

EMSCRIPTEN_KEEPALIVE int32_t WebAlarms() {
    return SimAlarms();
}

// The numbers the page's script uses, from the surface: the buttons and the alarm bits.
EMSCRIPTEN_KEEPALIVE int32_t WebPowerButton() {
    return SimPower;
}

EMSCRIPTEN_KEEPALIVE int32_t WebModeButton() {
    return SimMode;
}

EMSCRIPTEN_KEEPALIVE int32_t WebAlarmThreshold() {
    return SimAlarmThreshold;
}

EMSCRIPTEN_KEEPALIVE int32_t WebAlarmOverRange() {
    return SimAlarmOverRange;
}

EMSCRIPTEN_KEEPALIVE int32_t WebAlarmDose() {
    return SimAlarmDose;
}

// The look-alike letters the scenario language uses: each Cyrillic letter, then its Latin
// twin, as one UTF-8 text.
EMSCRIPTEN_KEEPALIVE const char* WebLookAlikes() {
    static const std::string pairs = LookAlikePairs();
    return pairs.c_str();
}

EMSCRIPTEN_KEEPALIVE int32_t WebModeHeld() {
    return SimModeHeld() ? 1 : 0;
}

// LCD line `row` (0 or 1) as UTF-8 text, one character (or two, for ⁻¹ and ⁻²) a cell.
EMSCRIPTEN_KEEPALIVE const char* WebLcdLine(int32_t row) {
    char* out = LineText;
    for (int c = 0; c < CellsPerLine; ++c) {
        const char* text = SimCellText(Report.cells[(row == 0 ? 0 : CellsPerLine) + c]);
        const size_t n = std::strlen(text);
        std::memcpy(out, text, n);
        out += n;
    }
    *out = 0;
    return LineText;
}

// The glyph code of LCD cell `cell` (0-23).
EMSCRIPTEN_KEEPALIVE int32_t WebCell(int32_t cell) {
    return cell >= 0 && cell < SimCellCount ? Report.cells[cell] : 0x20;
}

// What the last tick's sound held: its speech messages (the first SimSoundMessagesMax of
// them listed), detector clicks and alarm tone bursts.
EMSCRIPTEN_KEEPALIVE uint32_t WebPlayedMessageCount() {
    return Played.messageCount < SimSoundMessagesMax ? Played.messageCount : SimSoundMessagesMax;
}

EMSCRIPTEN_KEEPALIVE int32_t WebPlayedMessage(int32_t i) {
    return i >= 0 && i < SimSoundMessagesMax ? Played.messages[i] : -1;
}

EMSCRIPTEN_KEEPALIVE uint32_t WebPlayedClicks() {
    return Played.clicks;
}

EMSCRIPTEN_KEEPALIVE uint32_t WebPlayedTones() {
    return Played.tones;
}

// The words of speech message n (resources/voice_messages.txt), "" for no such message.
EMSCRIPTEN_KEEPALIVE const char* WebVoiceText(int32_t n) {
    return n >= 0 && n < 256 ? VoiceMessageText(static_cast<uint8_t>(n)).c_str() : "";
}

EMSCRIPTEN_KEEPALIVE int32_t WebVoiceTextCount() {
    return VoiceTextCount;
}

// Plays messages as one sound, as the instrument would, without a tick (the captions' test
// hears every message this way). The sound and its report are taken as a tick's.
EMSCRIPTEN_KEEPALIVE int32_t WebSay(int32_t n) {
    SoundBytes = 0;
    const uint8_t list[1] = {static_cast<uint8_t>(n)};
    const bool ok = SimSay(list, 1);
    SimPlayedSound(&Played);
    return ok ? 1 : 0;
}

// --- Scenarios and the room ----------------------------------------------------------------

// Parses a script and starts playing it from the next tick; 0, with the error for
// WebScenarioText, when it does not parse (nothing else changes).
EMSCRIPTEN_KEEPALIVE int32_t WebScenarioLoad(const char* name, const char* text) {
    ParseResult parsed = ParseScenario(name, text);
    if (!parsed.ok) {
        ScenarioText = parsed.error;
        return 0;
    }
    ScenarioBegin(Player, name, std::move(parsed.steps));
    Playing = true;
    ScenarioText.clear();
    return 1;
}

// Plays the script up to its next tick (its input may run the firmware, so the outcome is
// read afterwards: WebScenarioAction, WebScenarioText). Screenshots are passed over.
EMSCRIPTEN_KEEPALIVE void WebScenarioStep() {
    ScenarioText.clear();
    if (!Playing) {
        LastAction = ScenarioAction::Done;
        return;
    }
    for (;;) {
        // As the desktop records a session: the inputs the steps gave, in their order.
        const ScenarioAction a = ScenarioNext(Player);
        for (const Step& step : Player.given) ScenarioText += FormatStep(step) + "\n";
        if (a.kind == ScenarioAction::Screenshot) continue;
        LastAction = a.kind;
        if (a.kind == ScenarioAction::Failed) ScenarioText = a.message;
        if (a.kind != ScenarioAction::Tick) Playing = false;
        return;
    }
}

// 0 tick (run one WebTick, then step again), 2 done, 3 failed (as ScenarioAction::Kind).
EMSCRIPTEN_KEEPALIVE int32_t WebScenarioAction() {
    return LastAction;
}

// After WebScenarioStep: the steps it gave the instrument and the room, one a line, as script
// lines (a page's recording), or a failure's message; after a failed load, the error.
EMSCRIPTEN_KEEPALIVE const char* WebScenarioText() {
    return ScenarioText.c_str();
}

// Carries the instrument to (x, y) mm; 0 when the point is outside the room. The step it is,
// as a script line, is in WebScenarioText.
EMSCRIPTEN_KEEPALIVE int32_t WebMoveDetector(int32_t x, int32_t y) {
    if (!SimMoveDetector(x, y)) return 0;
    Step step{};
    step.kind = StepKind::Move;
    step.pos[0] = x;
    step.pos[1] = y;
    ScenarioText = FormatStep(step);
    return 1;
}

// Counts every change of the room: the page redraws its plan when it changes.
EMSCRIPTEN_KEEPALIVE uint32_t WebRoomChanges() {
    return SimRoomChanges();
}

// The room for the page's plan, as JSON: {"size":[W,H],"detector":[X,Y],"rate":R,
// "sources":[{"name":..,"kind":K,"hidden":0|1,"strength":S,"at":[X,Y]},..],
// "walls":[[X1,Y1,X2,Y2,T],..]} (millimetres, thousandths; rate in pulses a second).
EMSCRIPTEN_KEEPALIVE const char* WebRoom() {
    char buffer[160];
    int32_t size[2], at[2];
    SimRoomSize(size);
    SimDetectorAt(at);
    std::snprintf(buffer, sizeof buffer, "{\"size\":[%d,%d],\"detector\":[%d,%d],\"rate\":%.3f,",
                  size[0], size[1], at[0], at[1], SimFieldRate());
    RoomText = buffer;
    RoomText += "\"sources\":[";
    for (int i = 0; i < SimSourceCount(); ++i) {
        SimRoomSource s;
        SimSourceAt(i, &s);
        std::snprintf(
            buffer, sizeof buffer,
            "%s{\"name\":\"%s\",\"kind\":%d,\"hidden\":%d,\"strength\":%u,\"at\":[%d,%d]}",
            i == 0 ? "" : ",", s.name, s.kind, s.hidden, s.strength, s.x, s.y);
        RoomText += buffer;
    }
    RoomText += "],\"walls\":[";
    for (int i = 0; i < SimWallCount(); ++i) {
        SimRoomWall w;
        SimWallAt(i, &w);
        std::snprintf(buffer, sizeof buffer, "%s[%d,%d,%d,%d,%u]", i == 0 ? "" : ",", w.x1, w.y1,
                      w.x2, w.y2, w.transmission);
        RoomText += buffer;
    }
    RoomText += "]}";
    return RoomText.c_str();
}

// A fresh instrument (as at the window's creation) and `text` ready to play through the
// page's own tick (the page's tests: its frames and sound are those of the script): 0, or
// -1 for a script error (WebScenarioText says it; nothing is restarted). The page then
// calls WebScenarioNext and does what WebScenarioAction says.
EMSCRIPTEN_KEEPALIVE int32_t WebScenarioBegin(const char* name, const char* text) {
    ParseResult parsed = ParseScenario(name, text);
    if (!parsed.ok) {
        ScenarioText = parsed.error;
        return -1;
    }
    SimReset();
    SimStart();
    ScenarioBegin(Player, name, std::move(parsed.steps));
    Playing = true;
    ScenarioText.clear();
    LastAction = ScenarioAction::Done;
    return 0;
}

// Plays up to the next thing the page must do (screenshots included: the page has nothing
// to write for them).
EMSCRIPTEN_KEEPALIVE void WebScenarioNext() {
    const ScenarioAction a = ScenarioNext(Player);
    LastAction = a.kind;
    ScenarioText = a.kind == ScenarioAction::Failed ? a.message : std::string();
    if (a.kind != ScenarioAction::Tick && a.kind != ScenarioAction::Screenshot) Playing = false;
}

// The 44-byte header of a WAV image of `samples` samples in the sound's format.
EMSCRIPTEN_KEEPALIVE const uint8_t* WebWavHeader(uint32_t samples) {
    static uint8_t header[SimWavHeaderSize];
    SimWavHeader(header, samples);
    return header;
}

}  // extern "C"
