#include "program.h"

#include <cstdio>

#include "command.h"
#include "font_dialog.h"
#include "font_spec.h"
#include "launch.h"

StartingFont starting_font(int argc, const char* const* argv) {
  if (argc == 2) return {argv[1], "12pt"};
  if (argc == 3) return {argv[1], argv[2]};
  return {"Times New Roman:0:400:0", "9pt"};
}

int run_fontpick(int argc, char** argv, FILE* /*out*/, FILE* err) {
  ScreenInfo screen = open_screen();
  if (!screen.available) {
    std::fprintf(err, "fontpick: %s\n", screen.error.c_str());
    return 1;
  }

  StartingFont start = starting_font(argc, argv);
  LOGFONTA font;
  parse_font_spec(screen.dpi_y, font, start.font_spec, start.size_spec);

  FontChoice choice = choose_font(font);
  if (choice.outcome == ChoiceOutcome::cancelled) return 0;
  if (choice.outcome == ChoiceOutcome::failed) {
    std::fprintf(err, "fontpick: %s\n", choice.error.c_str());
    return 1;
  }
  return run_command_line(generator_command(choice.font, choice.point_size));
}
