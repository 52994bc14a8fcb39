// The generator's command line, built from the dialog's answer.
#pragma once

#include <string>

#include "logfont.h"

// "<generator> %lg %.1lf %s %s" of point_size × 0.1, point_size × 0.13, the
// character set's name and the face name (point_size in tenths of a point).
// The face name stays as many words as it has blank-separated parts; each part
// is quoted for the command interpreter only when it needs to be, so ordinary
// names give the plain text.
std::string generator_command(const LOGFONTA& font, int point_size);
