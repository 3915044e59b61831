#include "png_writer.h"

#include <cstdint>
#include <vector>

#include "simulator.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_UNUSED
#include <stb/stb_image_write.h>

bool WritePanelPng(const std::string& path) {
    const uint32_t* frame = SimFrame();
    const int32_t width = SimFrameWidth(), height = SimFrameHeight();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(frame[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(frame[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(frame[i]);
    }
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}
