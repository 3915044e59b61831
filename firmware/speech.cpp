#include "firmware/speech.h"

#include "firmware/firmware_state.h"
#include "peripherals/sound_output.h"
#include "peripherals/speech_memory.h"

namespace {

// Messages of the speech memory that the composition names.
constexpr uint8_t MsgZero = 0;
constexpr uint8_t MsgTensBase = 18;              // 18 + tens digit: 20 ... 90
constexpr uint8_t MsgHundredsBase = 27;          // 27 + hundreds digit: 100 ... 900
constexpr uint8_t MsgTenthsAlone = 36;           // 36 + t
constexpr uint8_t MsgTenthsAfterWhole = 45;      // 45 + t
constexpr uint8_t MsgHundredths = 54;            // 54 + h (alone, and after a tens word)
constexpr uint8_t MsgTeenHundredthsAlone = 63;   // 63 + h: .11 ... .19
constexpr uint8_t MsgHundredthsAfterWhole = 72;  // 72 + h: .01 ... .09
constexpr uint8_t MsgTeenAfterWhole = 81;        // 81 + h: .11 ... .19
constexpr uint8_t MsgTensAfterWhole = 89;        // 89 + t: .2x ... .9x, then 54 + h
constexpr uint8_t MsgUnitCounting = 99;          // after 0, 1, 5-9, 10-19 (101 in thousands)
constexpr uint8_t MsgUnitGenitive = 100;         // after 2-4 and after a fraction (102)
constexpr uint8_t ThousandsShift = 2;            // 99/100 -> 101/102

constexpr uint8_t CharPoint = 0x2E;

// The digit a cell shows; a cell that is not a digit counts as 0 (no caller produces one).
uint8_t Digit(uint8_t cell) {
    return (cell >= 0x30 && cell <= 0x39) ? static_cast<uint8_t>(cell - 0x30) : 0;
}

// The increment of the last spoken digit: when the first dropped digit is 6-9, raised by
// one unless it is 9 already. It never carries into the next digit.
uint8_t RoundUp(uint8_t digit, uint8_t dropped) {
    return (dropped >= 6 && digit < 9) ? static_cast<uint8_t>(digit + 1) : digit;
}

}  // namespace

void PlayMessage(uint8_t n) {
    if (n == NoMessage) return;
    // The directory from its start: entries 0 ... n, each read into AudioLevel.
    VoiceSeek(0);
    uint32_t start = 1;
    uint8_t length = 0;
    for (uint32_t i = 0; i <= n; ++i) {
        VoiceReadByte();
        const uint8_t entry = AudioLevel.load();
        if (i < n) {
            start += entry;
        } else {
            length = entry;
        }
    }
    VoiceSeek(start);
    const uint32_t samples = uint32_t{length} * VoicePageSize;
    for (uint32_t i = 0; i < samples; ++i) {
        VoiceReadByte();
        AppendSample();
    }
}

void PlayPrompt(uint8_t n) {
    BeginUtterance();
    PlayMessage(n);
    EndUtterance();
}

uint8_t ComposeReading(uint8_t list[8]) {
    const uint8_t* cell = DisplayText + 12;  // cells 12-16
    uint16_t whole;
    uint8_t tenths;
    uint8_t hundredths;
    uint8_t thousands;
    if (cell[1] == CharPoint) {  // A: d . d d (cell 16 not looked at)
        whole = Digit(cell[0]);
        tenths = Digit(cell[2]);
        hundredths = Digit(cell[3]);
        thousands = 0;
    } else if (cell[2] == CharPoint) {  // B: d d . d d
        whole = static_cast<uint16_t>(Digit(cell[0]) * 10 + Digit(cell[1]));
        tenths = RoundUp(Digit(cell[3]), Digit(cell[4]));
        hundredths = 0;
        thousands = 0;
    } else if (cell[3] == CharPoint) {  // C: d d d . d
        whole = static_cast<uint16_t>(Digit(cell[0]) * 100 + Digit(cell[1]) * 10 +
                                      RoundUp(Digit(cell[2]), Digit(cell[4])));
        tenths = 0;
        hundredths = 0;
        thousands = 0;
    } else if (cell[4] == CharPoint) {  // D: d d d d . spoken in thousands
        whole = Digit(cell[0]);
        tenths = Digit(cell[1]);
        hundredths = RoundUp(Digit(cell[2]), Digit(cell[3]));
        thousands = 1;
    } else {
        return 0;  // not a reading of the four shapes: nothing is said
    }

    uint8_t count = 0;
    // Whole-part words.
    if (whole == 0) {
        if (tenths == 0 && hundredths == 0) list[count++] = MsgZero;
    } else {
        const uint8_t hundreds = static_cast<uint8_t>(whole / 100);
        const uint8_t rest = static_cast<uint8_t>(whole % 100);
        if (hundreds != 0) list[count++] = static_cast<uint8_t>(MsgHundredsBase + hundreds);
        if (rest >= 1 && rest <= 19) {
            list[count++] = rest;
        } else if (rest >= 20) {
            list[count++] = static_cast<uint8_t>(MsgTensBase + rest / 10);
            if (rest % 10 != 0) list[count++] = static_cast<uint8_t>(rest % 10);
        }
    }
    // Fraction words.
    const uint8_t fraction = (tenths != 0 || hundredths != 0) ? 1 : 0;
    if (fraction) {
        const uint8_t alone = whole == 0 ? 1 : 0;
        if (hundredths == 0) {
            list[count++] =
                static_cast<uint8_t>((alone ? MsgTenthsAlone : MsgTenthsAfterWhole) + tenths);
        } else if (tenths == 0) {
            list[count++] = static_cast<uint8_t>((alone ? MsgHundredths : MsgHundredthsAfterWhole) +
                                                 hundredths);
        } else if (tenths == 1) {
            list[count++] = static_cast<uint8_t>(
                (alone ? MsgTeenHundredthsAlone : MsgTeenAfterWhole) + hundredths);
        } else {
            list[count++] =
                static_cast<uint8_t>((alone ? MsgTensBase : MsgTensAfterWhole) + tenths);
            list[count++] = static_cast<uint8_t>(MsgHundredths + hundredths);
        }
    }
    list[count++] = NoMessage;
    // Unit word.
    const uint8_t last = static_cast<uint8_t>(whole % 10);
    const uint8_t lastTwo = static_cast<uint8_t>(whole % 100);
    uint8_t unit = MsgUnitCounting;
    if (fraction || (last >= 2 && last <= 4 && !(lastTwo >= 12 && lastTwo <= 14)))
        unit = MsgUnitGenitive;
    if (thousands) unit = static_cast<uint8_t>(unit + ThousandsShift);
    list[count++] = unit;
    return count;
}

void SpeakReading() {
    uint8_t list[8];
    const uint8_t count = ComposeReading(list);
    for (uint8_t i = 0; i < count; ++i) PlayMessage(list[i]);
}
