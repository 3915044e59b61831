// The per-tick trace: one JSON object a line, written after each tick.
#pragma once

#include <cstdint>
#include <string>

// Replaces `line` with the trace line of tick `tick` (counted from 1), newline included, from
// what the surface reports now. With `sound`, what the tick played follows the other fields:
// "clicks", "tones" (alarm tone bursts) and "speech" (the messages, each with its words).
void TraceLine(uint64_t tick, bool sound, std::string& line);
