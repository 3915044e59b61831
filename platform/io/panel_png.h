// Writes the composed panel frame as a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes the current panel frame to `path` (complete or not at all, output_file.h); false with
// a message in `error`.
bool WritePanelPng(const std::string& path, std::string& error);
// The panel frame as 8-bit RGB rows, as a PNG takes them.
std::vector<uint8_t> PanelRgb();
// Writes `rgb` (width x height pixels, 3 bytes each) to `path` as a PNG, the same way.
bool WriteRgbPng(const std::string& path, const uint8_t* rgb, int32_t width, int32_t height,
                 std::string& error);
