#include "font_dialog.h"

// After <windows.h>, which font_dialog.h brings in.
#include <commdlg.h>

#include <cstdio>

namespace {

// Screen fonts, scalable only, starting from the given LOGFONTA, and only a
// font that exists can be confirmed; no effects, no hook.
constexpr DWORD choose_flags =
    CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_FORCEFONTEXIST | CF_SCALABLEONLY;
static_assert(choose_flags == 0x30041);

}  // namespace

ScreenInfo open_screen() {
  ScreenInfo screen;
  // Never released: the screen stays taken until the process ends.
  HDC dc = GetDC(nullptr);
  if (!dc) {
    char line[80];
    snprintf(line, sizeof line, "cannot open the screen (error %lu)",
             static_cast<unsigned long>(GetLastError()));
    screen.error = line;
    return screen;
  }
  screen.available = true;
  screen.dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
  return screen;
}

FontChoice choose_font(const LOGFONTA& start) {
  FontChoice choice;
  choice.font = start;
  CHOOSEFONTA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = nullptr;
  request.lpLogFont = &choice.font;
  request.Flags = choose_flags;
  request.lpfnHook = nullptr;
  if (ChooseFontA(&request)) {
    choice.outcome = ChoiceOutcome::chosen;
    choice.point_size = request.iPointSize;
    return choice;
  }
  // A false return is either the user's cancel (no extended error) or a
  // dialog that could not be shown.
  DWORD error = CommDlgExtendedError();
  if (error == 0) {
    choice.outcome = ChoiceOutcome::cancelled;
    return choice;
  }
  char line[80];
  snprintf(line, sizeof line, "the font dialog failed (CommDlgExtendedError 0x%04lx)",
           static_cast<unsigned long>(error));
  choice.outcome = ChoiceOutcome::failed;
  choice.error = line;
  return choice;
}
