// Command-line options through getopt_long, with the checks every program
// needs and one wording for the mistakes: options anywhere among the
// operands, operands in their order, everything after "--" an operand, and
// nothing printed by getopt itself.
#pragma once

#include <getopt.h>

#include <string>
#include <vector>

namespace base {

// One option: its long name (nullptr for a letter alone) and its code, the
// letter itself or a number from 256 up for a long option alone.
struct OptionSpec {
  const char* name;
  int code;
  bool takes_value;
  // The value is text to show, not a name for the system to read: UTF-8 on
  // every system. Windows hands main its arguments in the ANSI code page,
  // which lacks most characters; there such a value is read again from the
  // wide command line, split as the C runtime splits it.
  bool text = false;
};

enum class OptionKind { option, operand, error, end };

struct OptionFound {
  OptionKind kind = OptionKind::end;
  int code = 0;       // an option's, or for an error the one that lacks its value
  std::string value;  // its value, or the operand
  std::string error;  // "unknown option '-q'", "option '--id' needs a value"
  std::string given;  // for an error, the option as given: "-q" of "-hq", "--id", "--bold=1"
  int word = 0;       // the argument the value is in, from byte `at` on
  size_t at = 0;
};

struct OptionScan {
  int argc = 0;
  char** argv = nullptr;
  std::vector<OptionSpec> specs;
  std::vector<option> long_options;
  std::string letters;
  int word = 1;         // the argument the next option comes from
  bool after = false;   // getopt is done: the rest are operands
};

// A fresh scan of argv[1..argc-1], should a process run twice.
void start_options(OptionScan* scan, int argc, char** argv, std::vector<OptionSpec> specs);

// The next option, operand or mistake; `end` once every argument is read.
OptionFound next_option(OptionScan* scan);

// How the user spells an option: "--id", or "-o" for a letter alone.
std::string option_name(const OptionScan& scan, int code);

}  // namespace base
