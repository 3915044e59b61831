#include "peripherals/speech_memory.h"

#include "peripherals/sound_output.h"

// No image until a front end installs one: every read is silence.
const uint8_t* VoiceImageBase = nullptr;
uint32_t VoiceImageLength = 0;
uint32_t VoicePage = 0;
uint32_t VoiceOffset = 0;

namespace {

constexpr uint32_t LastCountedPage = 8192;  // the page index stops here
constexpr uint32_t NoMessageHere = 0xFFFF;
constexpr uint32_t DirectoryEntries = 256;  // what a message number reaches

// The message whose first page the last seek found, until its first byte is read.
uint32_t SeekMessage = NoMessageHere;

// The message (of at least one page) that starts at `page`, from the directory.
uint32_t MessageStartingAt(uint32_t page) {
    uint32_t start = 1;
    for (uint32_t n = 0; n < DirectoryEntries && start <= page; ++n) {
        const uint32_t pages = VoiceMessagePages(static_cast<uint8_t>(n));
        if (start == page && pages != 0) return n;
        start += pages;
    }
    return NoMessageHere;
}

}  // namespace

void VoiceSeek(uint32_t page) {
    VoicePage = page;
    VoiceOffset = 0;
    SeekMessage = page == 0 ? NoMessageHere : MessageStartingAt(page);
}

uint32_t VoiceMessagePages(uint8_t n) {
    const uint64_t pos = uint64_t{VoiceHeaderSize} + n;
    if (VoiceImageBase == nullptr || pos >= VoiceImageLength) return 0;
    return VoiceImageBase[pos];
}

void VoiceReadByte() {
    if (SeekMessage != NoMessageHere) {
        LogSpokenMessage(static_cast<uint8_t>(SeekMessage));
        SeekMessage = NoMessageHere;
    }
    // 64-bit position: a page index up to 8192 stays far inside, but any seek argument is safe.
    const uint64_t pos =
        uint64_t{VoiceHeaderSize} + uint64_t{VoicePageSize} * VoicePage + VoiceOffset;
    uint8_t level = 128;  // at or beyond the end of the image (or no image): silence
    if (VoiceImageBase != nullptr && pos < VoiceImageLength) level = VoiceImageBase[pos];
    // One thread of control: no ordering is needed, and a plain store keeps a message's
    // thousands of reads cheap.
    AudioLevel.store(level, std::memory_order_relaxed);
    if (++VoiceOffset >= VoicePageSize) {
        VoiceOffset = 0;
        if (VoicePage < LastCountedPage) ++VoicePage;
    }
}

void ResetSpeechMemory() {
    VoicePage = 0;
    VoiceOffset = 0;
    SeekMessage = NoMessageHere;
}
