// The LCD text helpers live with the scenario language now; tests still include them here.
#pragma once

#include "../scenario/lcd_text.h"
