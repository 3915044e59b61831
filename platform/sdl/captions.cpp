#include "captions.h"

#include <algorithm>
#include <string>

#include "i18n.h"
#include "ui_font.h"
#include "voice_texts.h"

namespace {

constexpr uint32_t KeepTicks = 30;      // a caption stays 3 s after its sound
constexpr uint32_t ToneKeepTicks = 15;  // the tone bursts once a second: kept over the gaps
constexpr uint32_t ClickWindowTicks = 10;
constexpr int CaptionTop = 338;  // panel row where the captions' box starts: below the buttons

bool On = false;
uint32_t Tick = 0;
std::vector<uint8_t> Messages;
uint32_t SpeechUntil = 0;
bool Speaking = false;
uint32_t ToneUntil = 0;
bool Tone = false;
uint32_t ClickCount = 0;
uint32_t ClickSince = 0;
bool Counting = false;
uint32_t ClickRate = 0;
uint32_t ClicksUntil = 0;

}  // namespace

void CaptionsHeard(const SimSoundReport& report) {
    const uint32_t listed = std::min<uint32_t>(report.messageCount, SimSoundMessagesMax);
    if (listed > 0) {
        Messages.assign(report.messages, report.messages + listed);
        SpeechUntil = Tick + KeepTicks;
        Speaking = true;
    }
    if (report.tones > 0) {
        ToneUntil = Tick + ToneKeepTicks;
        Tone = true;
    }
    if (report.clicks > 0 && !Counting) {
        Counting = true;
        ClickSince = Tick;
    }
    ClickCount += report.clicks;
}

void CaptionsTick() {
    ++Tick;
    if (Speaking && Tick > SpeechUntil) Speaking = false;
    if (Tone && Tick > ToneUntil) Tone = false;
    if (Counting && Tick - ClickSince >= ClickWindowTicks) {
        ClickRate = (ClickCount * ClickWindowTicks + (Tick - ClickSince) / 2) / (Tick - ClickSince);
        ClicksUntil = Tick + ClickWindowTicks + 5;
        ClickCount = 0;
        Counting = ClickRate > 0;
        ClickSince = Tick;
    }
    if (ClickRate > 0 && Tick > ClicksUntil) ClickRate = 0;
}

void CaptionsToggle() {
    On = !On;
}

bool CaptionsOn() {
    return On;
}

bool CaptionsShown() {
    return On && (Speaking || Tone || ClickRate > 0);
}

void DrawCaptions(std::vector<uint32_t>& image, int w, int h, int scale) {
    if (!CaptionsShown()) return;
    std::string words, gloss;
    for (uint8_t m : Messages) {
        const std::string& text = VoiceMessageText(m);
        words += (words.empty() ? "" : " ") + text;
        const std::string g = VoiceGloss(m);
        if (!g.empty()) gloss += (gloss.empty() ? "" : " ") + g;
    }
    std::string sounds;
    if (Tone) sounds = Tr("[alarm tone]");
    if (ClickRate > 0) {
        std::string clicks = Tr("[clicks: N a second]");
        const size_t n = clicks.find('N');
        if (n != std::string::npos) clicks.replace(n, 1, std::to_string(ClickRate));
        sounds += (sounds.empty() ? "" : " ") + clicks;
    }
    const int margin = 4 * scale;
    const int width = (w - 2 * margin) / scale;
    std::vector<std::pair<std::string, uint32_t>> lines;
    if (Speaking) {
        for (const std::string& line : UiWrap(words, width)) lines.emplace_back(line, 0xFFFFFFFFu);
        for (const std::string& line : UiWrap(gloss, width)) lines.emplace_back(line, 0xFFD8E4F0u);
    }
    for (const std::string& line : UiWrap(sounds, width)) lines.emplace_back(line, 0xFFFFE080u);
    const int top = CaptionTop * scale;
    // The box: the panel dimmed behind the text, so it reads on any part of the picture.
    for (int y = top; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t& p = image[static_cast<size_t>(y) * static_cast<size_t>(w) + x];
            p = 0xFF000000u | (p >> 2 & 0x3F3F3Fu);
        }
    }
    int y = top + margin;
    for (const auto& [text, colour] : lines) {
        if (y + UiFontHeight * scale > h) break;
        UiDrawText(image, w, h, margin, y, scale, text, colour);
        y += UiFontHeight * scale;
    }
}
