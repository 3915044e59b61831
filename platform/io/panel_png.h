// Writes the composed panel frame as a PNG file.
#pragma once

#include <string>

// Writes the current panel frame to `path` (complete or not at all, output_file.h); false with
// a message in `error`.
bool WritePanelPng(const std::string& path, std::string& error);
