// The font description record and MulDiv: the platform's own on Windows, a
// layout-compatible stand-in with the same names everywhere else, so the
// parsing and the command are written once.
#pragma once

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#else

#include <cstdint>

constexpr int LF_FACESIZE = 32;

constexpr int FW_NORMAL = 400;
constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;
constexpr int OUT_OUTLINE_PRECIS = 8;

// Same field order, widths and size (60 bytes) as the Windows record.
struct LOGFONTA {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};

// number * numerator / denominator from the exact 64-bit product, rounded to
// nearest with halves away from zero; -1 for a zero denominator or a result
// outside 32 bits, as on Windows.
int MulDiv(int number, int numerator, int denominator);

#endif
