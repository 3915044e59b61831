#include "artwork.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

// Carried as read-only data by the build (resources/panel@2x.png, panel@3x.png and the
// desktop icon); size 0 when the file was missing at build time.
extern "C" const uint8_t PanelPng2xData[];
extern "C" const uint32_t PanelPng2xDataSize;
extern "C" const uint8_t PanelPng3xData[];
extern "C" const uint32_t PanelPng3xDataSize;
extern "C" const uint8_t IconPngData[];
extern "C" const uint32_t IconPngDataSize;

namespace {

Picture Decode(const uint8_t* png, uint32_t size) {
    Picture picture;
    if (size == 0) return picture;
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(png, static_cast<int>(size), &w, &h, &channels, 4);
    if (rgba == nullptr) return picture;
    picture.width = w;
    picture.height = h;
    picture.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    const stbi_uc* p = rgba;
    for (uint32_t& pixel : picture.pixels) {
        pixel = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        p += 4;
    }
    stbi_image_free(rgba);
    return picture;
}

}  // namespace

Picture CarriedPanel(int scale) {
    if (scale == 2) return Decode(PanelPng2xData, PanelPng2xDataSize);
    if (scale == 3) return Decode(PanelPng3xData, PanelPng3xDataSize);
    return Picture{};
}

Picture CarriedIcon() {
    return Decode(IconPngData, IconPngDataSize);
}
