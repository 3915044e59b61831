#include "firmware/speech.h"

// Placeholders until the speech routines are built.
void PlayMessage(uint8_t) {}
void PlayPrompt(uint8_t) {}
void SpeakReading() {}
uint8_t ComposeReading(uint8_t[8]) { return 0; }
