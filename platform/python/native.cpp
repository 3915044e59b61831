// The native part of the Python package: the simulator's surface and the scenario player as
// plain procedures over one instrument (the core is one machine: one instrument a process).
// Every input goes through the scenario player as a step of the language, so Instrument.run
// takes any step the language has.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "interpreter.h"
#include "lcd_text.h"
#include "panel_png.h"
#include "scenario.h"
#include "simulator.h"
#include "voice_texts.h"
#include "wav_writer.h"

namespace py = pybind11;

namespace {

// An expectation that did not hold; in Python an ExpectFailed, an AssertionError.
struct ExpectFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The instrument's session: its player (kept across calls, so a `source` goes on), its ticks
// and what was played since the last take of the sound.
ScenarioPlayer Player;
uint64_t Ticks = 0;
uint32_t Generation = 0;  // counts the sessions: an older Instrument object is stale
std::vector<uint8_t> Samples;
uint64_t Clicks = 0, Tones = 0;
std::vector<uint8_t> Messages;
uint64_t MessagesMissed = 0;
bool ResourcesSet = false;
int FailedLine = 0;  // the line of the step that failed last

void OneTick() {
    ClearTickSound();
    SimTick();
    ++Ticks;
    Samples.insert(Samples.end(), TickSound.begin(), TickSound.end());
    SimSoundReport r;
    SimPlayedSound(&r);
    Clicks += r.clicks;
    Tones += r.tones;
    const uint32_t listed =
        r.messageCount < SimSoundMessagesMax ? r.messageCount : SimSoundMessagesMax;
    Messages.insert(Messages.end(), r.messages, r.messages + listed);
    MessagesMissed += r.messageCount - listed;
}

// Plays `steps` on the session; a failed expectation raises AssertionError with its message
// ("NAME:LINE: ..." and the detail lines), and the rest of the steps is dropped.
void Play(std::vector<Step> steps) {
    Player.steps = std::move(steps);
    Player.next = 0;
    Player.current = nullptr;
    for (;;) {
        const ScenarioAction a = ScenarioNext(Player);
        if (a.kind == ScenarioAction::Tick) {
            OneTick();
        } else if (a.kind == ScenarioAction::Screenshot) {
            std::string error;
            if (!WritePanelPng(a.step->text[0], error)) throw std::runtime_error(error);
        } else if (a.kind == ScenarioAction::Failed) {
            const std::string message = a.message;
            FailedLine = a.step ? a.step->line : 0;
            Player.failed = false;
            Player.failure = ScenarioAction{};
            Player.steps.clear();
            Player.next = 0;
            Player.current = nullptr;
            Player.ticksLeft = 0;
            throw ExpectFailed(message);
        } else {
            Player.steps.clear();
            Player.next = 0;
            Player.current = nullptr;
            return;
        }
    }
}

std::vector<Step> Parse(const std::string& name, const std::string& text) {
    ParseResult parsed = ParseScenario(name, text);
    if (!parsed.ok) throw py::value_error("script error: " + parsed.error);
    return std::move(parsed.steps);
}

// A fresh instrument, started as the window starts it.
uint32_t Start(py::object seed) {
    if (!ResourcesSet) {
        SimUseCarriedResources();
        InstallRecordingSoundService();
        ResourcesSet = true;
    }
    SimReset();
    if (!seed.is_none()) SimSeed(seed.cast<uint32_t>());
    Ticks = 0;
    Samples.clear();
    Clicks = Tones = MessagesMissed = 0;
    Messages.clear();
    ScenarioBegin(Player, "<run>", {}, seed.is_none() ? 0 : seed.cast<uint32_t>());
    SimStart();
    return ++Generation;
}

void Check(uint32_t generation) {
    if (generation != Generation)
        throw std::runtime_error(
            "this Instrument was replaced by a newer one: the core is one instrument a process");
}

py::tuple TakeSound() {
    py::list messages;
    for (uint8_t n : Messages) messages.append(py::make_tuple(n, VoiceMessageText(n)));
    py::tuple t =
        py::make_tuple(py::bytes(reinterpret_cast<const char*>(Samples.data()), Samples.size()),
                       Clicks, Tones, messages, MessagesMissed);
    Samples.clear();
    Clicks = Tones = MessagesMissed = 0;
    Messages.clear();
    return t;
}

// A whole script on a fresh instrument, as the headless runner plays it: (message, line,
// ticks), the message None when it passes; a script error raises ValueError.
py::object PlayScript(const std::string& name, const std::string& text, py::object seed) {
    std::vector<Step> steps = Parse(name, text);
    Start(seed);
    Player.name = name;
    try {
        Play(std::move(steps));
    } catch (const ExpectFailed& failed) {
        Player.name = "<run>";
        return py::make_tuple(std::string(failed.what()), FailedLine, Ticks);
    }
    Player.name = "<run>";
    return py::make_tuple(py::none(), 0, Ticks);
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The DRK-20VT5P simulator's core and scenario player (one instrument a process).";
    py::register_exception<ExpectFailed>(m, "ExpectFailed", PyExc_AssertionError);
    m.def("version", [] { return std::string(SimVersion()); });
    m.def("start", &Start, py::arg("seed") = py::none());
    m.def("check", &Check);
    m.def(
        "run", [](const std::string& text) { Play(Parse("<run>", text)); },
        "Plays scenario steps (one a line) on the instrument.");
    m.def("play_script", &PlayScript, py::arg("name"), py::arg("text"),
          py::arg("seed") = py::none());
    m.def("lcd", [] { return py::make_tuple(LcdLineText(0), LcdLineText(1)); });
    m.def("state", [] {
        SimTickReport r;
        SimReport(&r);
        return py::make_tuple(
            r.on != 0, py::bytes(reinterpret_cast<const char*>(r.cells), SimCellCount),
            static_cast<int>(r.cursor), r.backlight != 0, SimAlarms(), SimModeHeld());
    });
    m.def("ticks", [] { return Ticks; });
    m.def("take_sound", &TakeSound);
    m.def("frame", [] {
        const std::vector<uint8_t> rgb = PanelRgb();
        return py::make_tuple(SimFrameWidth(), SimFrameHeight(),
                              py::bytes(reinterpret_cast<const char*>(rgb.data()), rgb.size()));
    });
    m.def("write_png", [](const std::string& path, int32_t width, int32_t height,
                          const py::bytes& rgb) {
        const std::string data = rgb;
        if (data.size() != static_cast<size_t>(width) * height * 3)
            throw py::value_error("the RGB bytes are not width x height x 3");
        std::string error;
        if (!WriteRgbPng(path, reinterpret_cast<const uint8_t*>(data.data()), width, height, error))
            throw std::runtime_error(error);
    });
    m.def("button_box", [](int button) {
        int32_t box[4];
        SimButtonBox(button == 0 ? SimPower : SimMode, box);
        return py::make_tuple(box[0], box[1], box[2], box[3]);
    });
    m.def("message_text", [](int n) { return VoiceMessageText(static_cast<uint8_t>(n)); });
    m.attr("WAV_HEADER_SIZE") = SimWavHeaderSize;
    m.def("wav_header", [](uint32_t samples) {
        uint8_t h[SimWavHeaderSize];
        SimWavHeader(h, samples);
        return py::bytes(reinterpret_cast<const char*>(h), sizeof h);
    });
}
