#pragma once

#include <cstddef>

// Everything read from one input goes through this buffer; a longer file is
// read in pieces of at most this many bytes.
constexpr size_t kReadBufferSize = 130000;
extern unsigned char read_buffer[kReadBufferSize];

// The value of an ASCII hexadecimal digit, or -1 for any other character.
int hex_digit_value(char c);

// Reads an ID from the text after a resource type the way "%x" would
// (leading white space, a sign and a 0x prefix allowed) and stores its low 16
// bits; false when the text holds no hexadecimal digit.
bool read_resource_id(const char* text, unsigned* id);

// Takes the type and ID of an rsrcXXXX name: at least four characters of
// type, then the ID text from the next (at most) four. Ends the run with the
// filename message when either is missing.
unsigned resource_id_of(const char* name, const char* argument);

// The whole run of the program; returns its exit status.
int run_prcbuild(int argc, char** argv);
