#include "panel_png.h"

#include <cstdint>
#include <vector>

#include "frame_pixels.h"
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
    std::vector<uint8_t> rgb;
    FramePixels(PixelOrder::Rgb, rgb);
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
