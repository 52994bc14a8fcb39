#include "prcbuild.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "database.h"
#include "entry_name.h"
#include "fail.h"
#include "font_remap.h"
#include "output.h"

namespace {

// Inputs of at least this size stay in their files until the database is
// written; smaller ones cost less read at once.
constexpr uint64_t kMinReferencedSize = 32768;

struct Run {
  Database db;
  bool split_mode = false;
  bool ignore_missing = false;
  // Inputs held open until the database is written, and how many may be.
  size_t open_inputs = 0;
  size_t input_budget = 0;
  std::vector<unsigned char> buffer = std::vector<unsigned char>(kReadBufferSize);
};

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

void check(const std::string& error) {
  if (!error.empty()) fail("%s", error.c_str());
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

// Takes the ID of an rsrcXXXX name: at least four characters of type, then
// the ID text from the next (at most) four. Ends the run with the filename
// message when either is missing.
unsigned resource_id_of(const char* name, const char* argument) {
  unsigned id;
  if (!entry_name_id(name, &id))
    fail("Filename %s not in required rsrcXXXX format.\n", argument);
  return id;
}

// Fills the buffer as far as the file allows; a read error ends the run.
size_t read_piece(Run* run, FILE* file, const char* argument) {
  size_t got = fread(run->buffer.data(), 1, kReadBufferSize, file);
  if (ferror(file)) {
    fclose(file);
    fail("Error reading %s.\n", argument);
  }
  return got;
}

void add_file(Run* run, const char* argument) {
  Database* db = &run->db;
  const char* name = file_name_of(argument);
  FILE* file = fopen(argument, "rb");
  if (!file) {
    if (run->ignore_missing) return;
    fail("Error opening %s.\n", argument);
  }
  // A large regular file's bytes stay in the file until the database is
  // written, and go from there to the output with no copy in memory.
  uint64_t size;
  if (run->open_inputs < run->input_budget && regular_file_size(file, &size) &&
      size >= kMinReferencedSize) {
    unsigned id = db->record_mode ? 0 : resource_id_of(name, argument);
    size_t first = size < kReadBufferSize ? static_cast<size_t>(size) : kReadBufferSize;
    std::string error = add_file_entry(db, name, id, file, 0, first, argument, true);
    if (!error.empty()) {
      fclose(file);
      fail("%s", error.c_str());
    }
    ++run->open_inputs;
    if (run->split_mode && size > kReadBufferSize) {
      // Split mode is resource mode, where the name has its four type bytes.
      uint64_t rest = size - kReadBufferSize;
      char type[4];
      memcpy(type, name, sizeof type);
      type[0] = '2';
      check(add_file_entry(db, type, id, file, kReadBufferSize,
                           rest < kReadBufferSize ? static_cast<size_t>(rest) : kReadBufferSize,
                           argument, false));
    }
    return;
  }

  size_t got = read_piece(run, file, argument);
  unsigned id = db->record_mode ? 0 : resource_id_of(name, argument);
  if (!run->split_mode) {
    fclose(file);
    check(add_entry(db, name, id, run->buffer.data(), got));
    return;
  }
  char type[4];
  memcpy(type, name, sizeof type);
  check(add_entry(db, type, id, run->buffer.data(), got));
  if (got == kReadBufferSize) {
    // A file of exactly one buffer has no second part.
    size_t rest = read_piece(run, file, argument);
    type[0] = '2';
    if (rest > 0) check(add_entry(db, type, id, run->buffer.data(), rest));
  }
  fclose(file);
}

// The group "-f rsrcXXXX toFont" whose -f stands at argv[at]: one 4-byte
// remap resource. Returns the index of the group's last argument.
int add_font_remap(Run* run, int argc, char** argv, int at) {
  if (argc - at < 3) fail("Need to specify both fromFont and toFont.\n");
  const char* resource = argv[at + 1];
  unsigned id = resource_id_of(resource, resource);
  uint16_t font;
  check(lookup_font_id(argv[at + 2], &font));
  font_remap_bytes(font, run->buffer.data());
  check(add_entry(&run->db, resource, id, run->buffer.data(), 4));
  return at + 2;
}

}  // namespace

int run_prcbuild(int argc, char** argv) {
  const char* program = argv[0] ? argv[0] : "prcbuild";
  if (argc < 6) usage(program);
  // A write cut short by a file size limit or a vanished reader is reported
  // like any other; an interrupted run leaves no temporary file.
  output_ignore_write_signals();
  output_remove_temporaries_on_signals();

  Run run;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (strcmp(argv[i], "-d") == 0)
      run.db.record_mode = true;
    else if (strcmp(argv[i], "-s") == 0)
      run.split_mode = true;
    else if (strcmp(argv[i], "-i") == 0)
      run.ignore_missing = true;
    else if (strcmp(argv[i], "-x") != 0)  // -x is taken and changes nothing
      usage(program);
  }
  if (argc - i < 4) usage(program);
  if (run.db.record_mode) run.split_mode = false;

  const char* output = argv[i];
  run.input_budget = input_file_budget();
  init_header(&run.db, argv[i + 1], argv[i + 2], argv[i + 3]);
  for (i += 4; i < argc; ++i) {
    const char* argument = argv[i];
    if (!run.db.record_mode && strncmp(argument, "-f", 2) == 0) {
      i = add_font_remap(&run, argc, argv, i);
      continue;
    }
    if (!run.db.record_mode && strlen(argument) < 8)
      fail("Filename %s not in required rsrcXXXX format.\n", argument);
    add_file(&run, argument);
  }
  check(write_database(&run.db, output));
  return 0;
}
