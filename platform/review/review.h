// The review of a run: what the instrument showed, said and sounded, and what was pressed,
// gathered tick by tick through the simulator's surface, then written as JSON and as one
// self-contained HTML page (inline style and SVG plots, no script, no network; prints on A4).
// Every front end can keep one: the headless runner (--review, --report), the desktop app and
// the page.
//
//     ReviewSession s;
//     ReviewBegin(s, "lesson.scn", seedSet, seed);
//     ... ReviewPress(s, "press mode 20") before the ticks it acts in ...
//     ... SimTick(); ReviewTick(s); ...
//     ReviewEnd(s);
//     std::string json = ReviewJson(sessions), html = ReviewHtml(sessions);
//
// The output holds integers and text only (readings in thousandths, times as ticks and as
// "MM:SS.t"), no clock time and nothing the locale or a float printer shapes: the same run
// gives the same bytes on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum ReviewKind : uint8_t {
    ReviewPressed,  // an input: the step as a script writes it ("press mode 20", "power")
    ReviewScreen,   // the screen changed: the two LCD lines as they stand after the tick
    ReviewSaid,     // speech played in the tick: its messages and their words
    ReviewTone,     // alarm tone bursts, one run of them (gaps under 2 s)
    ReviewAlarm,    // a period with the same alarm bits (SimAlarms) raised
};

struct ReviewEvent {
    uint64_t tick;   // the ticks run before it (a press) or the tick it was seen after
    uint64_t until;  // ReviewTone, ReviewAlarm: the last tick of the run
    ReviewKind kind;
    uint32_t count;                 // ReviewTone: bursts; ReviewAlarm: the alarm bits
    std::string text;               // ReviewPressed: the step; ReviewScreen: "LINE1\nLINE2";
                                    // ReviewSaid: the words
    std::vector<uint8_t> messages;  // ReviewSaid: the message numbers
};

// A goal of the script and whether the run met it.
struct ReviewGoal {
    int line;
    uint32_t points;
    std::string text;
    std::string within;  // as written
    bool met;
    uint64_t tick;    // met: the tick count then
    std::string lcd;  // met: "LINE1\nLINE2" then
};

// The reading as the display shows it: a number and a unit on the second line.
inline constexpr int32_t ReviewNoReading = -1;

struct ReviewSession {
    std::string name;
    bool seedSet = false;
    uint32_t seed = 0;
    uint64_t ticks = 0;               // ticks seen
    std::vector<std::string> units;   // the units the readings were shown in, first seen first
    std::vector<int32_t> reading;     // a tick each: thousandths of the unit, or none
    std::vector<uint8_t> unit;        // a tick each: index into units (with a reading)
    std::vector<uint16_t> pulses;     // a tick each: detector pulses drawn
    std::vector<ReviewEvent> events;  // in tick order once ReviewEnd has run
    uint64_t clicks = 0;              // detector clicks heard
    std::vector<ReviewGoal> goals;    // set by the front end from the player at the end
    bool passSet = false;
    uint64_t passMark = 0;
    // What the last tick left, to see the next change.
    uint8_t cells[24] = {};
    bool seen = false;
    bool on = false;
    uint8_t alarms = 0;
    size_t alarmEvent = 0;               // the open alarm period, 0 none (index + 1)
    size_t toneEvent = 0;                // the open tone run, 0 none (index + 1)
    std::string screen;                  // the screen's key: the first line without its figures
    std::vector<std::string> measuring;  // the screens (keys) the pulse star showed on
    int32_t lastReading = ReviewNoReading;
    uint8_t lastUnit = 0;
};

void ReviewBegin(ReviewSession& s, std::string name, bool seedSet, uint32_t seed);
// An input given before the next tick.
void ReviewPress(ReviewSession& s, const std::string& what);
// After each SimTick: takes the tick's report, sound and alarms.
void ReviewTick(ReviewSession& s);
// Closes the open periods and puts the events in tick order.
void ReviewEnd(ReviewSession& s);

// A whole number of thousandths as fixed-point text with `decimals` (0-3) places.
std::string ReviewFixed(int64_t thousandths, int decimals);

std::string ReviewJson(const std::vector<ReviewSession>& sessions);
std::string ReviewHtml(const std::vector<ReviewSession>& sessions);
