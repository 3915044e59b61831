// The simulator's panel frame (0x00RRGGBB words) in the byte order a consumer wants: a PNG
// encoder takes red, green, blue; a page's ImageData takes red, green, blue, alpha.
#pragma once

#include <cstdint>
#include <vector>

enum class PixelOrder : uint8_t { Rgb, Rgba };

// The current frame (SimFrame) as bytes in `order`, row after row, into `bytes`.
void FramePixels(PixelOrder order, std::vector<uint8_t>& bytes);
