// The desktop's part of fontpick: the screen's resolution and the font dialog.
// One implementation per platform (font_dialog-gtk.cpp, font_dialog-win32.cpp),
// chosen by the build.
#pragma once

#include <string>

#include "logfont.h"

struct ScreenInfo {
  bool available = false;  // false: no screen to show a dialog on
  int dpi_y = 96;          // vertical dots per inch
  std::string error;       // one line without newline when not available
};

// Takes the screen once at start; it stays taken until the process ends.
ScreenInfo open_screen();

enum class ChoiceOutcome { chosen, cancelled, failed };

struct FontChoice {
  ChoiceOutcome outcome = ChoiceOutcome::cancelled;
  LOGFONTA font{};         // the chosen font when chosen
  int point_size = 0;      // chosen size in tenths of a point, when chosen
  std::string error;       // one line without newline when failed
};

// Presents a choice among the scalable screen fonts, starting from start, with
// no owner window. Call only after open_screen reported a screen.
FontChoice choose_font(const LOGFONTA& start);
