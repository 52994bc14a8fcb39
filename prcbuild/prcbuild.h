// prcbuild: packs files of raw bytes into one Palm OS database, resources
// named rsrcXXXX.bin (or font remap groups) or, with -d, records.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "database.h"

// The whole run of the program: stops at the first failure, prints its
// message on err and returns 1; returns 0 once the database is written.
// Nothing goes to out.
int run_prcbuild(int argc, char** argv, FILE* out, FILE* err);

// prcbuild's words for a database error: the texts its users' scripts
// match, byte for byte; "" for none.
std::string database_message(const palm::DatabaseError& error);
