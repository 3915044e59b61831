// Speech memory: the serial flash that holds the instrument's recorded speech, read one
// byte (one 8000 Hz sample) at a time in pages of 528 bytes.
//
// Models: the image (512-byte header, page 0 the directory of message lengths, messages back
// to back from page 1), the read position (page, offset) with the page index stopping at 8192,
// and the read of the next byte into AudioLevel. Reads at or past the end of the image give
// 128, the silence level, and so do all reads when the build found no image (size 0).
// Also logs which message is read (sound_output.h's SoundLog): a seek to the first page of a
// message followed by a read of it.
// Leaves out: the flash's command protocol, buffers, erase and write.
#pragma once

#include <cstdint>

inline constexpr uint32_t VoiceHeaderSize = 512;
inline constexpr uint32_t VoicePageSize = 528;

extern const uint8_t* VoiceImageBase;  // start of the image a front end installed
extern uint32_t VoiceImageLength;      // its size in bytes (0 when none is installed)
extern uint32_t VoicePage;             // page of the next byte
extern uint32_t VoiceOffset;           // offset 0-527 of the next byte in its page

void VoiceSeek(uint32_t page);
// The length in pages of message n, from the directory (0 without an image);
// leaves the read position alone.
uint32_t VoiceMessagePages(uint8_t n);
void VoiceReadByte();

// Program-start state (the image stays where it is).
void ResetSpeechMemory();
