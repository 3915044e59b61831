// The pictures the desktop app carries beside the core's 1x panel: the panel drawn from its
// vector source at twice and three times the size, and the window icon.
#pragma once

#include <cstdint>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows from the top
    bool Empty() const { return pixels.empty(); }
};

// The panel picture drawn at `scale` (2 or 3); empty when it is not carried.
Picture CarriedPanel(int scale);
// The window icon; empty when it is not carried.
Picture CarriedIcon();
