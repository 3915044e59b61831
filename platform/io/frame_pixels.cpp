#include "frame_pixels.h"

#include <cstddef>

#include "simulator.h"

void FramePixels(PixelOrder order, std::vector<uint8_t>& bytes) {
    const uint32_t* frame = SimFrame();
    const size_t count = static_cast<size_t>(SimFrameWidth()) * SimFrameHeight();
    const size_t step = order == PixelOrder::Rgba ? 4 : 3;
    bytes.resize(count * step);
    uint8_t* out = bytes.data();
    for (size_t i = 0; i < count; ++i, out += step) {
        const uint32_t p = frame[i];
        out[0] = static_cast<uint8_t>(p >> 16);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p);
        if (step == 4) out[3] = 255;
    }
}
