// The resources a program carries, embedded by the build from the committed files: the
// front-panel picture (resources/panel.bmp, a 24-bit BMP file image) and the speech memory
// image (resources/voice_image.bin). Linked in with the drk_resources library; a program
// hands them to the core with SimUseCarriedResources(). The Windows program carries them as
// its resources 100 and 101 instead, and so only once.
#pragma once

#include <cstdint>

extern "C" const uint8_t PanelBmpData[];
extern "C" const uint32_t PanelBmpDataSize;
extern "C" const uint8_t VoiceImageData[];
extern "C" const uint32_t VoiceImageDataSize;
