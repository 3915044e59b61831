#include "platform/headless/png_writer.h"

#include "peripherals/lcd_renderer.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_UNUSED
#include <stb/stb_image_write.h>

bool WritePanelPng(const std::string& path) {
    RedrawLcd();
    return stbi_write_png(path.c_str(), PanelWidth, PanelHeight, 3, PanelFrame, PanelWidth * 3) !=
           0;
}
