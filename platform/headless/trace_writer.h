// The per-tick trace: one JSON object a line, written after each tick.
#pragma once

#include <cstdint>
#include <string>

// Replaces `line` with the trace line of tick `tick` (counted from 1), newline included, from
// what the surface reports now.
void TraceLine(uint64_t tick, std::string& line);
