// Test helpers for the front-panel picture: the carried BMP file read on its own terms, and
// small BMP file images built for the loader's tests.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/resources.h"

namespace panel_bmp {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline uint32_t Le(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// The header fields the tests look at and the pixels, rows top to bottom.
struct Picture {
    bool ok = false;
    int32_t width = 0, height = 0;  // height as stored: positive for bottom-up rows
    uint32_t planes = 0, bitsPerPixel = 0, compression = 0, fileSize = 0, pixelOffset = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    int Rows() const { return height < 0 ? -height : height; }
};

inline Picture Read(const uint8_t* data, uint32_t size) {
    Picture p;
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return p;
    p.fileSize = Le(data + 2, 4);
    p.pixelOffset = Le(data + 10, 4);
    p.width = static_cast<int32_t>(Le(data + 18, 4));
    p.height = static_cast<int32_t>(Le(data + 22, 4));
    p.planes = Le(data + 26, 2);
    p.bitsPerPixel = Le(data + 28, 2);
    p.compression = Le(data + 30, 4);
    if (p.bitsPerPixel != 24 || p.compression != 0 || p.width <= 0) return p;
    const size_t stride = (static_cast<size_t>(p.width) * 3 + 3) / 4 * 4;
    if (p.pixelOffset + stride * p.Rows() > size) return p;
    p.pixels.resize(static_cast<size_t>(p.width) * p.Rows());
    for (int y = 0; y < p.Rows(); ++y) {
        const int fileRow = p.height > 0 ? p.Rows() - 1 - y : y;
        const uint8_t* row = data + p.pixelOffset + fileRow * stride;
        for (int x = 0; x < p.width; ++x)
            p.pixels[static_cast<size_t>(y) * p.width + x] = {row[x * 3 + 2], row[x * 3 + 1],
                                                              row[x * 3]};
    }
    p.ok = true;
    return p;
}

inline Picture Carried() {
    return Read(PanelBmpData, PanelBmpDataSize);
}

// A BMP file image of width x |height| pixels (negative height: rows stored top down), colour
// of pixel (x, y) counted from the top by `colour`.
template <typename ColourFn>
std::vector<uint8_t> Make(int32_t width, int32_t height, ColourFn colour,
                          uint16_t bitsPerPixel = 24, uint32_t compression = 0) {
    const int32_t rows = height < 0 ? -height : height;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    const size_t size = 54 + stride * rows;
    std::vector<uint8_t> f(size, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put(2, static_cast<uint32_t>(size), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, bitsPerPixel, 2);
    put(30, compression, 4);
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t fileRow = height > 0 ? rows - 1 - y : y;
        for (int32_t x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            uint8_t* p = f.data() + 54 + fileRow * stride + x * 3;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    return f;
}

}  // namespace panel_bmp
