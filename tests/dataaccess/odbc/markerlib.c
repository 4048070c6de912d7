/* A shared library whose constructor writes a marker file: loading it at all
   is what a refused data link must never achieve. */
#include <stdio.h>
#include <stdlib.h>

__attribute__((constructor)) static void leave_marker(void) {
  const char* path = getenv("LUMBROOK_MARKER_FILE");
  if (!path) return;
  FILE* f = fopen(path, "w");
  if (f) {
    fputs("loaded\n", f);
    fclose(f);
  }
}
