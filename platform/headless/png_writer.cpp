#include "png_writer.h"

#include <cstdint>
#include <vector>

#include "output_file.h"
#include "simulator.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace {

void Collect(void* context, void* data, int size) {
    auto* png = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    png->insert(png->end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> PanelRgb() {
    const uint32_t* frame = SimFrame();
    const int32_t width = SimFrameWidth(), height = SimFrameHeight();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(frame[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(frame[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(frame[i]);
    }
    return rgb;
}

bool WriteRgbPng(const std::string& path, const uint8_t* rgb, int32_t width, int32_t height,
                 std::string& error) {
    std::vector<uint8_t> png;
    if (stbi_write_png_to_func(Collect, &png, width, height, 3, rgb, width * 3) == 0) {
        error = path + ": the PNG could not be encoded";
        return false;
    }
    return WriteWholeOutput(path, png.data(), png.size(), error);
}

bool WritePanelPng(const std::string& path, std::string& error) {
    const std::vector<uint8_t> rgb = PanelRgb();
    return WriteRgbPng(path, rgb.data(), SimFrameWidth(), SimFrameHeight(), error);
}
