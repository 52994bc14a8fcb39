// glyphsmith's command line for one font; --set reads its own.
#pragma once

#include <optional>
#include <string>

#include "charsets.h"
#include "rasterizer.h"
#include "sized_font.h"

// Named for the program: prcdump's core, which a program may link beside
// this one, has an Options of its own.
struct GlyphsmithOptions {
  std::string folder = ".";
  int id = -1;  // -1: the first free one
  FaceRequest face;
  bool preview = true;
  std::optional<std::string> sample;  // the preview page's text, UTF-8
  double size = 0;
  double line = 0;
  charsets::Charset charset;
  CharChoice chars;
  bool single_density = false;
  bool list = false;   // list the families instead
  std::string answer;  // the help or version text asked for instead of a font
};

// The help text, which --set shows too; named for the program, as the
// other programs' cores may be linked beside this one.
extern const char kGlyphsmithUsage[];

// "" when the command line is complete, or when it asks for help, the
// version or the families, whose text is then o->answer; else the mistake,
// worded for "glyphsmith: MISTAKE".
std::string parse_command_line(int argc, char** argv, GlyphsmithOptions* o);
