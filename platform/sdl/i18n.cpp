#include "i18n.h"

#include <cstdlib>
#include <cstring>

#include "voice_texts.h"

namespace {

bool UseRussian = false;

}  // namespace

std::string LanguageOf(const std::string& tag) {
    if (tag.size() >= 2 && (tag[2] == '\0' || tag[2] == '_' || tag[2] == '-' || tag[2] == '.')) {
        if ((tag[0] == 'r' || tag[0] == 'R') && (tag[1] == 'u' || tag[1] == 'U')) return "ru";
        if ((tag[0] == 'e' || tag[0] == 'E') && (tag[1] == 'n' || tag[1] == 'N')) return "en";
    }
    return "";
}

std::string LocaleLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            const std::string language = LanguageOf(value);
            return language.empty() ? "en" : language;
        }
    }
    return "en";
}

void ChooseLanguage(const std::string& language) {
    UseRussian = language == "ru";
}

bool Russian() {
    return UseRussian;
}

const char* Tr(const char* english) {
    if (!UseRussian) return english;
    for (int i = 0; i < RussianTextCount; ++i) {
        if (std::strcmp(RussianTexts[i][0], english) == 0) return RussianTexts[i][1];
    }
    return english;
}

const char* VoiceGloss(uint8_t n) {
    return UseRussian || n >= VoiceTextCount ? "" : VoiceGlossesEn[n];
}
