// Stands in for bin\_glyphsmith in the Windows tests: writes each argument, as
// the C runtime split them, on a line of its own to generator-args.txt in the
// current folder, and exits with the status in FAKE_GENERATOR_STATUS (0 when
// unset).
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  FILE* record = fopen("generator-args.txt", "wb");
  if (!record) return 125;
  for (int i = 1; i < argc; ++i) fprintf(record, "%s\n", argv[i]);
  if (fclose(record) != 0) return 125;
  const char* status = getenv("FAKE_GENERATOR_STATUS");
  return status ? atoi(status) : 0;
}
