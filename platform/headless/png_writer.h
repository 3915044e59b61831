// Writes the composed panel frame as a PNG file.
#pragma once

#include <string>

// Redraws the LCD into the panel frame and writes the frame to `path`; false on failure.
bool WritePanelPng(const std::string& path);
