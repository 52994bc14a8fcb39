// The whole run of fontpick, above the platform's dialog and launcher.
#pragma once

#include <cstdio>
#include <string>

struct StartingFont {
  std::string font_spec;
  std::string size_spec;
};

// The font the dialog starts from, by the number of arguments after the
// program name: one names the font (at 12pt), two add the size, and none or
// more than two fall back to Times New Roman at 9pt.
StartingFont starting_font(int argc, const char* const* argv);

// Shows the dialog and, on confirmation, runs the generator. Returns the exit
// status: 0 on cancel, 1 when no dialog could be shown (said on err), else
// the generator's. Nothing goes to out: the generator writes where it will.
int run_fontpick(int argc, char** argv, FILE* out, FILE* err);
