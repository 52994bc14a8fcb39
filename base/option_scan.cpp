#include "option_scan.h"

namespace base {

void start_options(OptionScan* scan, int argc, char** argv, std::vector<OptionSpec> specs) {
  *scan = OptionScan{};
  scan->argc = argc;
  scan->argv = argv;
  scan->specs = std::move(specs);
  // '-': operands come back in their place as code 1, whatever
  // POSIXLY_CORRECT says; ':': a missing value is told apart from an
  // unknown option.
  scan->letters = "-:";
  for (const OptionSpec& s : scan->specs) {
    if (s.name)
      scan->long_options.push_back(
          {s.name, s.takes_value ? required_argument : no_argument, nullptr, s.code});
    if (s.code < 256) scan->letters += std::string(1, static_cast<char>(s.code)) + (s.takes_value ? ":" : "");
  }
  scan->long_options.push_back({nullptr, 0, nullptr, 0});
  optind = 0;
  opterr = 0;
}

OptionFound next_option(OptionScan* scan) {
  OptionFound found;
  if (!scan->after) {
    int code = getopt_long(scan->argc, scan->argv, scan->letters.c_str(),
                           scan->long_options.data(), nullptr);
    if (code == -1) {
      scan->after = true;
      scan->word = optind;
    } else {
      const OptionSpec* spec = nullptr;
      int asked = code == ':' ? optopt : code;
      for (const OptionSpec& s : scan->specs) spec = s.code == asked ? &s : spec;
      // Some builds of getopt_long report a value given to an option that
      // takes none as a missing value: an unknown option either way.
      if (code == '?' || (code == ':' && !(spec && spec->takes_value))) {
        std::string word = scan->argv[scan->word];
        found.kind = OptionKind::error;
        found.error = "unknown option '" + word + "'";
        // getopt names a letter it doesn't know, even within a cluster.
        bool letter = word.compare(0, 2, "--") != 0 && optopt > 0 && optopt < 256;
        found.given = letter ? std::string("-") + static_cast<char>(optopt) : word;
      } else if (code == ':') {
        found.kind = OptionKind::error;
        found.code = optopt;
        found.given = option_name(*scan, optopt);
        found.error = "option '" + found.given + "' needs a value";
      } else {
        found.kind = code == 1 ? OptionKind::operand : OptionKind::option;
        found.code = code;
        found.value = optarg ? optarg : "";
      }
      // A cluster of letters stays on its word until its end.
      scan->word = optind;
      return found;
    }
  }
  if (scan->word < scan->argc) {
    found.kind = OptionKind::operand;
    found.value = scan->argv[scan->word++];
  }
  return found;
}

std::string option_name(const OptionScan& scan, int code) {
  for (const OptionSpec& s : scan.specs)
    if (s.code == code && s.name) return std::string("--") + s.name;
  return std::string("-") + static_cast<char>(code);
}

}  // namespace base
