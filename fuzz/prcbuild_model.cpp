#include "prcbuild_model.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t kPiece = 130000;
constexpr size_t kMaxEntries = 6552;

const char kUsage[] =
    "Usage:\n"
    "  %s outname.prc dataBaseName TypeID CreatorID [ rsrcXXXX.bin | -f rsrcXXXX toFont ] ...\n"
    "or:\n"
    "  %s -d outname.pdb dataBaseName TypeID CreatorID record0.bin ...\n"
    "\n"
    "Fonts may be specified either by name identifier or in hex.  This is only for\n"
    "generating font remap packages for software using Pagewick font packages.\n";

const struct {
  const char* name;
  unsigned id;
} kFonts[] = {
    {"hrTinyFont", 0x00},        {"hrTinyBoldFont", 0x01},      {"hrSmallFont", 0x02},
    {"hrSmallSymbolFont", 0x03}, {"hrSmallSymbol11Font", 0x04}, {"hrSmallSymbol7Font", 0x05},
    {"hrSmallLedFont", 0x06},    {"hrSmallBoldFont", 0x07},     {"hrStdFont", 0x08},
    {"hrBoldFont", 0x09},        {"hrLargeFont", 0x0A},         {"hrSymbolFont", 0x0B},
    {"hrSymbol11Font", 0x0C},    {"hrSymbol7Font", 0x0D},       {"hrLedFont", 0x0E},
    {"hrLargeBoldFont", 0x0F},   {"stdFont", 0x00},             {"boldFont", 0x01},
    {"largeFont", 0x02},         {"symbolFont", 0x03},          {"symbol11Font", 0x04},
    {"symbol7Font", 0x05},       {"ledFont", 0x06},             {"largeBoldFont", 0x07},
    {"stdFixedFont_sony", 0x89}, {"stdFixedFont_palm", 0x90},   {"narrowFixedFont", 0x81},
};

// A run ends at its first failure; the model stops the same way.
struct Failure {
  std::string err;
};

[[noreturn]] void fail_with(const std::string& message) { throw Failure{message + "\n"}; }

std::string format(const char* pattern, const std::string& value) {
  std::string text;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      text += value;
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

[[noreturn]] void usage(const std::string& program) { fail_with(format(kUsage, program)); }

[[noreturn]] void bad_name(const std::string& argument) {
  fail_with(format("Filename %s not in required rsrcXXXX format.\n", argument));
}

// The ID text after a 4-character type, as sscanf's "%x" reads it; the C
// library is the reference here.
unsigned resource_id(const std::string& name, const std::string& argument) {
  if (name.size() < 4) bad_name(argument);
  unsigned id;
  if (sscanf(name.substr(4, 4).c_str(), "%x", &id) != 1) bad_name(argument);
  return id & 0xFFFF;
}

unsigned font_id(const std::string& text) {
  for (const auto& font : kFonts)
    if (strcasecmp(text.c_str(), font.name) == 0) return font.id;
  if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    fail_with(format("Error in font specification `%s'.\n", text));
  return static_cast<unsigned>(std::stoul(text.substr(text.size() > 4 ? text.size() - 4 : 0), nullptr, 16));
}

std::string file_name(const std::string& argument) {
  std::string name = argument;
  for (char separator : {':', '\\', '/'}) {
    size_t last = name.rfind(separator);
    if (last != std::string::npos) name = name.substr(last + 1);
  }
  return name;
}

struct Builder {
  std::string dir;
  bool records = false, split = false, ignore_missing = false;
  PalmFile database;

  std::string path(const std::string& argument) const { return dir + "/" + argument; }

  void add(const std::string& type, unsigned id, std::string data) {
    if (data.empty()) fail_with("malloc(0) requested.");
    if (database.entries.size() == kMaxEntries)
      fail_with("Too many entries: a database holds at most 6552.\n");
    PalmEntry entry;
    if (records) {
      entry.id = static_cast<unsigned>(database.entries.size());
    } else {
      entry.type = type;
      entry.id = id;
    }
    entry.data = std::move(data);
    database.entries.push_back(std::move(entry));
  }

  void add_file(const std::string& argument) {
    struct stat st;
    // An empty argument names no file, though dir + "/" is a folder.
    if (argument.empty() || stat(path(argument).c_str(), &st) != 0) {
      if (ignore_missing) return;
      fail_with(format("Error opening %s.\n", argument));
    }
    if (!S_ISREG(st.st_mode)) fail_with(format("Error reading %s.\n", argument));
    std::ifstream in(path(argument), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string first = bytes.substr(0, kPiece);
    if (records) {
      add("", 0, first);
      return;
    }
    std::string name = file_name(argument);
    unsigned id = resource_id(name, argument);
    std::string type = name.substr(0, 4);
    add(type, id, first);
    if (split && first.size() == kPiece && bytes.size() > kPiece)
      add("2" + type.substr(1), id, bytes.substr(kPiece, kPiece));
  }

  void add_remap(const std::string& resource, const std::string& font) {
    unsigned id = resource_id(resource, resource);
    unsigned font_number = font_id(font);
    std::string data = {'@', '\0', static_cast<char>(font_number >> 8), static_cast<char>(font_number)};
    add(resource.substr(0, 4), id, data);
  }

  // The database can be written where the folder exists and the name is
  // not itself a folder.
  bool can_write(const std::string& output) const {
    if (output.empty() || output.back() == '/') return false;
    size_t slash = output.rfind('/');
    struct stat st;
    if (slash != std::string::npos &&
        (stat(path(output.substr(0, slash)).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
      return false;
    return stat(path(output).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
  }
};

// A 4-byte header field: the first bytes of text, zero-filled.
std::string field(const std::string& text, size_t size) {
  std::string value = text.substr(0, size);
  return value + std::string(size - value.size(), '\0');
}

}  // namespace

ExpectedRun expected_run(const std::vector<std::string>& argv, const std::string& dir) {
  ExpectedRun run;
  Builder b;
  b.dir = dir;
  try {
    size_t argc = argv.size();
    if (argc < 6) usage(argv[0]);
    size_t i = 1;
    for (; i < argc && !argv[i].empty() && argv[i][0] == '-'; ++i) {
      if (argv[i] == "-d")
        b.records = true;
      else if (argv[i] == "-s")
        b.split = true;
      else if (argv[i] == "-i")
        b.ignore_missing = true;
      else if (argv[i] != "-x")
        usage(argv[0]);
    }
    if (argc - i < 4) usage(argv[0]);
    if (b.records) b.split = false;
    std::string output = argv[i];
    PalmFile& db = b.database;
    db.name = argv[i + 1].substr(0, 31);
    db.attributes = b.records ? 0x0008 : 0x0009;
    db.version = 1;
    db.type = field(argv[i + 2], 4);
    db.creator = field(argv[i + 3], 4);
    for (i += 4; i < argc; ++i) {
      const std::string& argument = argv[i];
      if (!b.records && argument.compare(0, 2, "-f") == 0) {
        if (argc - i < 3) fail_with("Need to specify both fromFont and toFont.\n");
        b.add_remap(argv[i + 1], argv[i + 2]);
        i += 2;
        continue;
      }
      if (!b.records && argument.size() < 8) bad_name(argument);
      b.add_file(argument);
    }
    if (!b.can_write(output)) fail_with(format("Error opening %s.\n", output));
    run.output = output;
    run.database = b.database;
  } catch (const Failure& failure) {
    run.status = 1;
    run.err = failure.err;
  }
  return run;
}
