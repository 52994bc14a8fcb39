#include "prcbuild.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "entry_name.h"
#include "fail.h"
#include "font_remap.h"
#include "input.h"
#include "text.h"

using namespace palm;

using base::format;

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
  std::vector<unsigned char> buffer = std::vector<unsigned char>(kFileReadSize);
};

const char kUsage[] =
    "Usage:\n"
    "  %s outname.prc dataBaseName TypeID CreatorID [ rsrcXXXX.bin | -f rsrcXXXX toFont ] ...\n"
    "or:\n"
    "  %s -d outname.pdb dataBaseName TypeID CreatorID record0.bin ...\n"
    "\n"
    "Fonts may be specified either by name identifier or in hex.  This is only for\n"
    "generating font remap packages for software using Pagewick font packages.\n";

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
// An input file, closed on every way out unless the database takes it over.
using InputFile = std::unique_ptr<FILE, FileCloser>;

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

// The message for a database error, or "" for none.
std::string said(const DatabaseError& error) {
  return error.ok() ? "" : database_message(error);
}

// Takes the ID of an rsrcXXXX name: at least four characters of type, then
// the ID text from the next (at most) four. The filename message when either
// is missing.
std::string resource_id_of(const char* name, const char* argument, unsigned* id) {
  if (!entry_name_id(name, id))
    return format("Filename %s not in required rsrcXXXX format.\n", argument);
  return "";
}

// Fills the buffer as far as the file allows.
std::string read_piece(Run* run, FILE* file, const char* argument, size_t* got) {
  *got = fread(run->buffer.data(), 1, kFileReadSize, file);
  return ferror(file) ? format("Error reading %s.\n", argument) : "";
}

// A large regular file's bytes stay in the file until the database is
// written, and go from there to the output with no copy in memory.
std::string add_referenced_file(Run* run, InputFile file, uint64_t size, const char* name,
                                const char* argument) {
  Database* db = &run->db;
  unsigned id = 0;
  std::string error = db->record_mode ? "" : resource_id_of(name, argument, &id);
  size_t first = size < kFileReadSize ? static_cast<size_t>(size) : kFileReadSize;
  if (error.empty()) error = said(add_file_entry(db, name, id, file.get(), 0, first, argument, true));
  if (!error.empty()) return error;
  FILE* source = file.release();  // the database closes it now
  ++run->open_inputs;
  if (!run->split_mode || size <= kFileReadSize) return "";
  // Split mode is resource mode, where the name has its four type bytes.
  uint64_t rest = size - kFileReadSize;
  char type[4];
  memcpy(type, name, sizeof type);
  type[0] = '2';
  return said(add_file_entry(db, type, id, source, kFileReadSize,
                             rest < kFileReadSize ? static_cast<size_t>(rest) : kFileReadSize,
                             argument, false));
}

std::string add_read_file(Run* run, InputFile file, const char* name, const char* argument) {
  Database* db = &run->db;
  size_t got;
  unsigned id = 0;
  std::string error = read_piece(run, file.get(), argument, &got);
  if (error.empty() && !db->record_mode) error = resource_id_of(name, argument, &id);
  if (!error.empty()) return error;
  if (!run->split_mode) return said(add_entry(db, name, id, run->buffer.data(), got));
  char type[4];
  memcpy(type, name, sizeof type);
  error = said(add_entry(db, type, id, run->buffer.data(), got));
  if (!error.empty() || got < kFileReadSize) return error;
  // A file of exactly one buffer has no second part.
  size_t rest;
  error = read_piece(run, file.get(), argument, &rest);
  type[0] = '2';
  if (error.empty() && rest > 0) error = said(add_entry(db, type, id, run->buffer.data(), rest));
  return error;
}

std::string add_file(Run* run, const char* argument) {
  InputFile file(fopen(argument, "rb"));
  if (!file) return run->ignore_missing ? "" : format("Error opening %s.\n", argument);
  const char* name = file_name_of(argument);
  uint64_t size;
  if (run->open_inputs < run->input_budget && regular_file_size(file.get(), &size) &&
      size >= kMinReferencedSize)
    return add_referenced_file(run, std::move(file), size, name, argument);
  return add_read_file(run, std::move(file), name, argument);
}

// The group "-f rsrcXXXX toFont" whose -f stands at argv[*at]: one 4-byte
// remap resource. Moves *at on to the group's last argument.
std::string add_font_remap(Run* run, int argc, char** argv, int* at) {
  if (argc - *at < 3) return "Need to specify both fromFont and toFont.\n";
  const char* resource = argv[*at + 1];
  unsigned id;
  uint16_t font;
  std::string error = resource_id_of(resource, resource, &id);
  if (error.empty() && !lookup_font_id(argv[*at + 2], &font))
    error = format("Error in font specification `%s'.\n", argv[*at + 2]);
  if (!error.empty()) return error;
  *at += 2;
  font_remap_bytes(font, run->buffer.data());
  return said(add_entry(&run->db, resource, id, run->buffer.data(), 4));
}

// Every argument after the creator, left to right.
std::string add_inputs(Run* run, int argc, char** argv, int first) {
  bool resources = !run->db.record_mode;
  for (int i = first; i < argc; ++i) {
    const char* argument = argv[i];
    std::string error;
    if (resources && strncmp(argument, "-f", 2) == 0)
      error = add_font_remap(run, argc, argv, &i);
    else if (resources && strlen(argument) < 8)
      error = format("Filename %s not in required rsrcXXXX format.\n", argument);
    else
      error = add_file(run, argument);
    if (!error.empty()) return error;
  }
  return "";
}

// Reads the options that stand before the output name and leaves *at on the
// output name; false for an unknown option or when too few arguments follow.
bool read_options(Run* run, int argc, char** argv, int* at) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (strcmp(argv[i], "-d") == 0)
      run->db.record_mode = true;
    else if (strcmp(argv[i], "-s") == 0)
      run->split_mode = true;
    else if (strcmp(argv[i], "-i") == 0)
      run->ignore_missing = true;
    else if (strcmp(argv[i], "-x") != 0)  // -x is accepted and changes nothing
      return false;
  }
  if (run->db.record_mode) run->split_mode = false;
  *at = i;
  return argc - i >= 4;
}

}  // namespace

std::string database_message(const DatabaseError& error) {
  const char* path = error.file.path.c_str();
  switch (error.what) {
    case DatabaseFailure::none:
      break;
    case DatabaseFailure::empty_entry:
      return "malloc(0) requested.";
    case DatabaseFailure::too_many_entries:
      return format("Too many entries: a database holds at most %zu.\n", kMaxEntries);
    case DatabaseFailure::out_of_memory:
      return format("Out of memory: %u bytes requested.", static_cast<unsigned>(error.size));
    case DatabaseFailure::layout:
      return format("Internal error: Unknown size type %c.\n", error.letter);
    case DatabaseFailure::open_output:
      return format("Error opening %s.\n", path);
    case DatabaseFailure::read_input:
      return format("Error reading %s.\n", path);
    case DatabaseFailure::write_output:
      // The system's reason stays out: the message is the one scripts match.
      return format("Error writing %s.\n", path);
  }
  return "";
}

int run_prcbuild(int argc, char** argv, FILE* /*out*/, FILE* err) {
  const char* program = argv[0] ? argv[0] : "prcbuild";
  Run run;
  int i;
  if (argc < 6 || !read_options(&run, argc, argv, &i)) return fail(err, kUsage, program, program);
  const char* output = argv[i];
  run.input_budget = input_file_budget();
  init_header(&run.db, argv[i + 1], argv[i + 2], argv[i + 3]);
  std::string error = add_inputs(&run, argc, argv, i + 4);
  if (error.empty()) error = said(write_database(&run.db, output));
  if (!error.empty()) return fail(err, "%s", error.c_str());
  return 0;
}
