// prcbuild: packs files of raw bytes into one Palm OS database, resources
// named rsrcXXXX.bin (or font remap groups) or, with -d, records.
#pragma once

// The whole run of the program; returns its exit status, or ends the process
// with status 1 and a message at the first failure.
int run_prcbuild(int argc, char** argv);
