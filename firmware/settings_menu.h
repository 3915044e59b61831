// The one-key settings menu: a ring of up to fifteen items.
#pragma once

// Runs the menu from item 0 until item 0's long press leaves it.
void SettingsMenu();
