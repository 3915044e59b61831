#include "firmware/formatting.h"

#include "firmware/firmware_state.h"

// Placeholders until the formatting routines are built.
uint8_t NumberFormatter(uint8_t) {
    DigitStopCell = 0;
    return 12;
}
uint8_t WriteTextAt(uint8_t cell, const uint8_t*) { return cell; }
void WriteTextLine(const uint8_t*) {}
void WriteDesignation(uint8_t) {}
