// The desktop app's words in English or Russian: English as the sources write them (Tr),
// Russian from the table generated at build time from resources/po/ru.po. The instrument's
// display is never translated.
#pragma once

#include <cstdint>
#include <string>

// The table (i18n_table.cpp, generated).
extern const char* const RussianTexts[][2];
extern const int RussianTextCount;
extern const char* const VoiceGlossesEn[];

// "ru" or "en" from a language tag or locale name ("ru_RU.UTF-8", "en-GB"); "" for another.
std::string LanguageOf(const std::string& tag);
// The language of the locale (LC_ALL, LC_MESSAGES, LANG), English when none is known.
std::string LocaleLanguage();
void ChooseLanguage(const std::string& language);
bool Russian();
// Marks `english` for the catalogue where it is kept to be translated later, by Tr.
constexpr const char* Word(const char* english) {
    return english;
}
// `english` in the chosen language.
const char* Tr(const char* english);
// The gloss of speech message n in the chosen language ("" in Russian: its words are).
const char* VoiceGloss(uint8_t n);
