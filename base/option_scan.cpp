#include "option_scan.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>

// msvcrt's own splitting of the wide command line, the one main's argv
// comes from.
struct WideStartupInfo {
  int new_mode;
};
extern "C" __declspec(dllimport) int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env,
                                                    int glob, WideStartupInfo* info);

namespace {

std::string narrow(unsigned code_page, const std::wstring& wide) {
  int n = WideCharToMultiByte(code_page, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string text(size_t(std::max(n, 0)), '\0');
  if (n > 0)
    WideCharToMultiByte(code_page, 0, wide.data(), int(wide.size()), text.data(), n, nullptr,
                        nullptr);
  return text;
}

std::wstring widen(unsigned code_page, const std::string& text) {
  int n = MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

}  // namespace
#endif

namespace base {

namespace {

// A text option's value as UTF-8 (OptionSpec::text).
std::string option_text(const OptionScan& scan, const OptionFound& found) {
#ifdef _WIN32
  int argc = 0;
  wchar_t** argv = nullptr;
  wchar_t** env = nullptr;
  WideStartupInfo info{0};
  // Only where the wide arguments are this scan's, as their ANSI form shows.
  if (__wgetmainargs(&argc, &argv, &env, 0, &info) >= 0 && argv && argc == scan.argc &&
      found.word > 0 && found.word < argc) {
    std::wstring word = argv[found.word];
    std::wstring value = found.at <= word.size() ? word.substr(found.at) : L"";
    if (narrow(CP_ACP, value) == found.value) return narrow(CP_UTF8, value);
  }
  return narrow(CP_UTF8, widen(CP_ACP, found.value));
#else
  (void)scan;
  return found.value;
#endif
}

}  // namespace

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
        found.word = optind - 1;
        if (optarg && optind > 0 && optarg >= scan->argv[optind - 1])
          found.at = size_t(optarg - scan->argv[optind - 1]);
        if (spec && spec->text) found.value = option_text(*scan, found);
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
