// Writes the benchmark's comma-separated file: an integer id, a text, a
// real, a date, a date and time, a 0/1 flag, a short category and a text
// holding commas and doubled quotes, with a header line. One million rows
// come to about 107 MB. The content is the same on every run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace lumbrook_bench {

inline bool writeBigCsv(const std::string& path, int64_t rows) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  static const char* const kWords[] = {"amber", "birch", "cedar", "delta", "ember", "fjord", "grove", "harbor",
                                       "island", "juniper", "kestrel", "lagoon", "meadow", "north", "orchard", "prairie"};
  static const char* const kCategories[] = {"alpha", "beta", "gamma", "delta", "omega", "sigma", "kappa", "theta"};
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  auto next = [&state] {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  };
  std::fputs("id,name,amount,day,stamp,active,category,remark\n", f);
  std::string line;
  char buf[512];
  for (int64_t i = 1; i <= rows; ++i) {
    const uint64_t r = next();
    const char* w1 = kWords[r & 15];
    const char* w2 = kWords[(r >> 4) & 15];
    const double amount = double(int64_t(r >> 20) % 10000000) / 100.0 - 25000.0;
    const int year = 1990 + int((r >> 8) % 35), month = 1 + int((r >> 14) % 12), day = 1 + int((r >> 18) % 28);
    const int hour = int((r >> 24) % 24), minute = int((r >> 30) % 60), second = int((r >> 36) % 60);
    const int n = std::snprintf(buf, sizeof buf,
                                "%lld,%s %s %llu,%.2f,%04d-%02d-%02d,%04d-%02d-%02d %02d:%02d:%02d,%d,%s,"
                                "\"%s, %s said \"\"hello\"\", %d\"\n",
                                (long long)i, w1, w2, (unsigned long long)(r % 100000), amount, year, month, day,
                                year, month, day, hour, minute, second, int((r >> 42) & 1),
                                kCategories[(r >> 43) & 7], w2, w1, int((r >> 46) % 1000));
    std::fwrite(buf, 1, size_t(n), f);
  }
  return std::fclose(f) == 0;
}

}  // namespace lumbrook_bench
