// Turns fuzz input into one prcbuild run: a command line and the files and
// folders it names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CaseFile {
  std::string path;  // relative to the run's folder
  std::string bytes;
  bool folder = false;
  // Then this many bytes of deterministic filler from seed: large files cost
  // neither fuzz input nor memory.
  size_t filler = 0;
  uint32_t seed = 0;
};

struct FuzzCase {
  std::vector<std::string> argv;  // argv[0] included
  std::vector<CaseFile> files;
};

FuzzCase decode_case(const uint8_t* data, size_t size);

// Makes the case's files under dir, which exists and is empty. A file whose
// folder can't be made (a file stands in its way) is left out: the run then
// meets a missing file.
void make_case_files(const FuzzCase& fuzz_case, const std::string& dir);
