// text_bench_gencsv PATH [ROWS]: writes the benchmark file (1,000,000 rows
// by default).
#include "bigcsv.h"

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH [ROWS]\n", argv[0]);
    return 2;
  }
  const long long rows = argc > 2 ? std::atoll(argv[2]) : 1000000;
  if (!lumbrook_bench::writeBigCsv(argv[1], rows)) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
