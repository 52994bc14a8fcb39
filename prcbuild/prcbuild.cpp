#include "prcbuild.h"

#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "database.h"
#include "fail.h"
#include "font_remap.h"
#include "layout.h"
#include "output.h"

unsigned char read_buffer[kReadBufferSize];

namespace {

bool split_mode = false;
bool ignore_missing = false;
bool x_option = false;  // accepted for compatibility; changes nothing

// Inputs held open until the database is written, and how many may be.
size_t open_inputs = 0;
size_t input_budget = 0;
constexpr uint64_t kMinReferencedSize = 32768;

const char kUsage[] =
    "Usage:\n"
    "  %s outname.prc dataBaseName TypeID CreatorID [ rsrcXXXX.bin | -f rsrcXXXX toFont ] ...\n"
    "or:\n"
    "  %s -d outname.pdb dataBaseName TypeID CreatorID record0.bin ...\n"
    "\n"
    "Fonts may be specified either by name identifier or in hex.  This is only for\n"
    "generating font remap packages for software using Pagewick font packages.\n";

[[noreturn]] void usage(const char* program) {
  fail(kUsage, program, program);
}

// The file name part of an argument: after the last ':', then the last '\',
// then the last '/', so that DOS drives and both separators are stripped.
const char* file_name_of(const char* argument) {
  const char* name = argument;
  for (char separator : {':', '\\', '/'}) {
    const char* last = strrchr(name, separator);
    if (last) name = last + 1;
  }
  return name;
}

// Fills the buffer as far as the file allows; a read error ends the run.
size_t read_piece(FILE* file, const char* argument) {
  size_t got = fread(read_buffer, 1, kReadBufferSize, file);
  if (ferror(file)) {
    fclose(file);
    fail("Error reading %s.\n", argument);
  }
  return got;
}

void add_file(const char* argument) {
  const char* name = file_name_of(argument);
  FILE* file = fopen(argument, "rb");
  if (!file) {
    if (ignore_missing) return;
    fail("Error opening %s.\n", argument);
  }
  // A large regular file's bytes stay in the file until the database is
  // written, and go from there to the output with no copy in memory. Small
  // ones cost less read at once than copied one by one later.
  uint64_t size;
  if (open_inputs < input_budget && regular_file_size(file, &size) && size >= kMinReferencedSize) {
    unsigned id = record_mode ? 0 : resource_id_of(name, argument);
    size_t first = size < kReadBufferSize ? static_cast<size_t>(size) : kReadBufferSize;
    add_file_entry(name, id, file, 0, first, argument, true);
    if (split_mode && size > kReadBufferSize) {
      // Split mode is resource mode, where the name has its four type bytes.
      uint64_t rest = size - kReadBufferSize;
      char type[4];
      memcpy(type, name, sizeof type);
      type[0] = '2';
      add_file_entry(type, id, file, kReadBufferSize,
                     rest < kReadBufferSize ? static_cast<size_t>(rest) : kReadBufferSize, argument,
                     false);
    }
    ++open_inputs;
    return;
  }

  size_t got = read_piece(file, argument);
  unsigned id = record_mode ? 0 : resource_id_of(name, argument);
  if (!split_mode) {
    fclose(file);
    add_entry(name, id, read_buffer, got);
    return;
  }
  char type[4];
  memcpy(type, name, sizeof type);
  add_entry(type, id, read_buffer, got);
  if (got == kReadBufferSize) {
    // A file of exactly one buffer has no second part.
    size_t rest = read_piece(file, argument);
    type[0] = '2';
    if (rest > 0) add_entry(type, id, read_buffer, rest);
  }
  fclose(file);
}

}  // namespace

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool read_resource_id(const char* text, unsigned* id) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (isspace(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  bool digits = false;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    digits = true;  // the 0 counts even when no digit follows the x
    p += 2;
  }
  unsigned value = 0;
  for (int digit; (digit = hex_digit_value(static_cast<char>(*p))) >= 0; ++p) {
    value = value * 16 + static_cast<unsigned>(digit);
    digits = true;
  }
  if (!digits) return false;
  *id = (negative ? 0u - value : value) & 0xFFFFu;
  return true;
}

unsigned resource_id_of(const char* name, const char* argument) {
  char id_text[5] = {};
  unsigned id;
  if (strlen(name) < 4 || !read_resource_id(strncpy(id_text, name + 4, 4), &id))
    fail("Filename %s not in required rsrcXXXX format.\n", argument);
  return id;
}

int run_prcbuild(int argc, char** argv) {
  const char* program = argv[0] ? argv[0] : "prcbuild";
  if (argc < 6) usage(program);
  swap_bytes = std::endian::native == std::endian::little;

  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (strcmp(argv[i], "-d") == 0)
      record_mode = true;
    else if (strcmp(argv[i], "-s") == 0)
      split_mode = true;
    else if (strcmp(argv[i], "-i") == 0)
      ignore_missing = true;
    else if (strcmp(argv[i], "-x") == 0)
      x_option = true;
    else
      usage(program);
  }
  if (argc - i < 4) usage(program);
  if (record_mode) split_mode = false;

  const char* output = argv[i];
  input_budget = input_file_budget();
  init_header(argv[i + 1], argv[i + 2], argv[i + 3]);
  for (i += 4; i < argc; ++i) {
    const char* argument = argv[i];
    if (!record_mode && strncmp(argument, "-f", 2) == 0) {
      i = add_font_remap(argc, argv, i);
      continue;
    }
    if (!record_mode && strlen(argument) < 8)
      fail("Filename %s not in required rsrcXXXX format.\n", argument);
    add_file(argument);
  }
  write_database(output);
  return 0;
}
