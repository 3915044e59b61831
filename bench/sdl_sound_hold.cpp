// How much longer than the sound itself the desktop's synchronous sound service holds the
// tick: plays clicks (40 samples, 5 ms), a tone (2004 samples) and a spoken message through
// SDL's audio device and reports the extra milliseconds per play.
// Run with a real device, or SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null for a paced
// stand-in.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/sdl/sdl_sound.h"

namespace {

std::vector<uint8_t> Wav(uint32_t samples, uint8_t level) {
    std::vector<uint8_t> w(44 + samples, level);
    const uint8_t header[44] = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                1,   0,   0x40, 0x1f, 0,   0,   0x40, 0x1f, 0,   0,   1,
                                0,   8,   0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    std::memcpy(w.data(), header, 44);
    return w;
}

}  // namespace

int main(int, char**) {
    if (SDL_Init(0) != 0 || !OpenSdlSound()) {
        std::fprintf(stderr, "no audio device: %s\n", SDL_GetError());
        return 1;
    }
    const struct {
        const char* name;
        uint32_t samples;
        int plays;
    } cases[] = {{"click", 40, 50}, {"alarm tone", 2004, 10}, {"message", 13200, 3}};
    for (const auto& c : cases) {
        const auto wav = Wav(c.samples, 128);
        double extra = 0;
        for (int i = 0; i < c.plays; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            SdlSoundService(wav.data(), static_cast<uint32_t>(wav.size()));
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                    .count();
            extra += ms - c.samples / 8.0;
        }
        std::printf("%-10s %5u samples (%6.1f ms): held %.1f ms longer per play\n", c.name,
                    c.samples, c.samples / 8.0, extra / c.plays);
    }
    CloseSdlSound();
    SDL_Quit();
    return 0;
}
