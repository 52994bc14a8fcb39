#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "font_dialog.h"

namespace {

int screen_dpi_y = 96;

// Faces that list fixed sizes are bitmap faces; only scalable ones are offered.
gboolean is_scalable(const PangoFontFamily*, const PangoFontFace* face, gpointer) {
  int* sizes = nullptr;
  int count = 0;
  pango_font_face_list_sizes(const_cast<PangoFontFace*>(face), &sizes, &count);
  g_free(sizes);
  return count == 0;
}

// The longest prefix of at most limit bytes that ends on a whole UTF-8
// character, so a cut never leaves half a character behind.
size_t utf8_prefix(const char* text, size_t limit) {
  size_t length = std::strlen(text);
  if (length <= limit) return length;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// How far a listed face is from the wanted one: slant first, then width,
// then weight.
int face_distance(const PangoFontDescription* face, const PangoFontDescription* wanted) {
  bool face_slanted = pango_font_description_get_style(face) != PANGO_STYLE_NORMAL;
  bool wanted_slanted = pango_font_description_get_style(wanted) != PANGO_STYLE_NORMAL;
  int stretch = std::abs(pango_font_description_get_stretch(face) - PANGO_STRETCH_NORMAL);
  int weight =
      std::abs(pango_font_description_get_weight(face) - pango_font_description_get_weight(wanted));
  return (face_slanted != wanted_slanted ? 100000 : 0) + stretch * 1000 + weight;
}

// The description of the listed face of family that is closest to wanted, or
// null. The dialog can only start on a face it lists, described as it lists it.
PangoFontDescription* closest_listed_face(PangoFontMap* map, const char* family,
                                          const PangoFontDescription* wanted) {
  PangoFontFamily** families = nullptr;
  int family_count = 0;
  pango_font_map_list_families(map, &families, &family_count);
  PangoFontDescription* best = nullptr;
  int best_distance = 0;
  for (int i = 0; i < family_count; ++i) {
    if (g_ascii_strcasecmp(pango_font_family_get_name(families[i]), family) != 0) continue;
    PangoFontFace** faces = nullptr;
    int face_count = 0;
    pango_font_family_list_faces(families[i], &faces, &face_count);
    for (int j = 0; j < face_count; ++j) {
      if (!is_scalable(families[i], faces[j], nullptr)) continue;
      PangoFontDescription* face = pango_font_face_describe(faces[j]);
      int distance = face_distance(face, wanted);
      if (best == nullptr || distance < best_distance) {
        std::swap(best, face);
        best_distance = distance;
      }
      if (face != nullptr) pango_font_description_free(face);
    }
    g_free(faces);
    break;
  }
  g_free(families);
  return best;
}

// The description the dialog starts from: the installed face closest to the
// requested one, at the size the logical height gives on this screen.
PangoFontDescription* starting_description(const LOGFONTA& start) {
  // The face name may be cut mid-character or not be UTF-8 at all.
  size_t length = strnlen(start.lfFaceName, sizeof start.lfFaceName);
  gchar* family = g_utf8_make_valid(start.lfFaceName, static_cast<gssize>(length));
  PangoFontDescription* wanted = pango_font_description_new();
  pango_font_description_set_family(wanted, family);
  g_free(family);
  // A weight of 0 means "any" to the platform; Pango knows 100 to 1000.
  int weight = start.lfWeight == 0 ? PANGO_WEIGHT_NORMAL : std::clamp<int>(start.lfWeight, 100, 1000);
  pango_font_description_set_weight(wanted, static_cast<PangoWeight>(weight));
  pango_font_description_set_style(wanted, start.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_size(wanted, 10 * PANGO_SCALE);

  // Fontconfig knows which installed family stands in for a missing one.
  PangoFontMap* map = pango_cairo_font_map_get_default();
  PangoContext* context = pango_font_map_create_context(map);
  PangoFont* font = pango_font_map_load_font(map, context, wanted);
  PangoFontDescription* result = nullptr;
  if (font != nullptr) {
    PangoFontDescription* loaded = pango_font_describe(font);
    const char* loaded_family = pango_font_description_get_family(loaded);
    if (loaded_family != nullptr) result = closest_listed_face(map, loaded_family, wanted);
    pango_font_description_free(loaded);
    g_object_unref(font);
  }
  g_object_unref(context);
  if (result == nullptr) {
    result = wanted;
  } else {
    pango_font_description_free(wanted);
  }

  // Height 0 names no size: the dialog keeps its own default.
  pango_font_description_unset_fields(result, PANGO_FONT_MASK_SIZE);
  if (start.lfHeight != 0) {
    double height = std::fabs(static_cast<double>(start.lfHeight));
    double points = height * 72.0 / screen_dpi_y;
    double units = std::min(points * PANGO_SCALE, static_cast<double>(G_MAXINT / 2));
    pango_font_description_set_size(result, static_cast<gint>(std::lround(units)));
  }
  return result;
}

// Halves away from zero, as the platform's own arithmetic rounds.
int round_div(long long numerator, long long denominator) {
  long long q = (2 * numerator + (numerator < 0 ? -denominator : denominator)) / (2 * denominator);
  return static_cast<int>(std::clamp<long long>(q, G_MININT, G_MAXINT));
}

void wait_until_drawn() {
  while (gtk_events_pending()) gtk_main_iteration();
  gdk_display_flush(gdk_display_get_default());
}

}  // namespace

ScreenInfo open_screen() {
  ScreenInfo info;
  g_set_prgname("fontpick");
  // No arguments for GTK: the command line belongs to fontpick alone.
  if (!gtk_init_check(nullptr, nullptr)) {
    info.error = "cannot open a display to show the font dialog on";
    return info;
  }
  double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
  screen_dpi_y = resolution > 0 ? static_cast<int>(std::lround(resolution)) : 96;
  info.available = true;
  info.dpi_y = screen_dpi_y;
  return info;
}

FontChoice choose_font(const LOGFONTA& start) {
  FontChoice choice;
  // No owner window: fontpick has none of its own.
  GtkWidget* dialog = gtk_font_chooser_dialog_new("Font", nullptr);
  if (dialog == nullptr) {
    choice.outcome = ChoiceOutcome::failed;
    choice.error = "cannot create the font dialog";
    return choice;
  }
  GtkFontChooser* chooser = GTK_FONT_CHOOSER(dialog);
  gtk_font_chooser_set_filter_func(chooser, is_scalable, nullptr, nullptr);
  gtk_font_chooser_set_level(chooser, static_cast<GtkFontChooserLevel>(
                                          GTK_FONT_CHOOSER_LEVEL_FAMILY |
                                          GTK_FONT_CHOOSER_LEVEL_STYLE |
                                          GTK_FONT_CHOOSER_LEVEL_SIZE));
  PangoFontDescription* initial = starting_description(start);
  gtk_font_chooser_set_font_desc(chooser, initial);
  pango_font_description_free(initial);

  gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  PangoFontDescription* chosen =
      response == GTK_RESPONSE_OK ? gtk_font_chooser_get_font_desc(chooser) : nullptr;
  gtk_widget_destroy(dialog);
  // Let the dialog leave the screen before the generator runs.
  wait_until_drawn();
  if (chosen == nullptr) return choice;

  int size = pango_font_description_get_size(chosen);
  if (pango_font_description_get_size_is_absolute(chosen))
    size = round_div(static_cast<long long>(size) * 72, screen_dpi_y);  // device units to points
  choice.point_size = round_div(static_cast<long long>(size) * 10, PANGO_SCALE);

  choice.font = start;
  const char* family = pango_font_description_get_family(chosen);
  if (family == nullptr) family = "";
  size_t length = utf8_prefix(family, LF_FACESIZE - 1);
  std::memset(choice.font.lfFaceName, 0, sizeof choice.font.lfFaceName);
  std::memcpy(choice.font.lfFaceName, family, length);
  choice.font.lfWeight = pango_font_description_get_weight(chosen);
  choice.font.lfItalic = pango_font_description_get_style(chosen) != PANGO_STYLE_NORMAL ? 1 : 0;
  // Negated in 32-bit arithmetic as on the platform, INT_MIN included.
  choice.font.lfHeight = static_cast<int32_t>(
      0u - static_cast<uint32_t>(MulDiv(choice.point_size, screen_dpi_y, 720)));
  // The default set names no script; the dialog answers with the one it shows.
  if (choice.font.lfCharSet == DEFAULT_CHARSET) choice.font.lfCharSet = ANSI_CHARSET;
  pango_font_description_free(chosen);
  choice.outcome = ChoiceOutcome::chosen;
  return choice;
}
