#include "firmware/settings_menu.h"

// Placeholder until the settings menu is built.
void SettingsMenu() {}
