// pellton_fuzz TARGET|all COUNT|smoke [SEED]: runs the drivers' inputs of
// one seed (1 when none is given), printing inputs per second and every
// finding; a failing input is saved as fuzz-findings\TARGET-SEED-INDEX.bin.
// pellton_fuzz TARGET --replay FILE: checks one saved input again.
// The answer is 0 when nothing was found, 1 on findings, 2 on bad use.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/fuzz/FuzzDriver.h"

namespace {

int Usage() {
  fprintf(stderr, "usage: pellton_fuzz TARGET|all COUNT|smoke [SEED]\n"
                  "       pellton_fuzz TARGET --replay FILE\ntargets:");
  for (const FuzzDriver* driver = kFuzzDrivers; driver->name; ++driver) fprintf(stderr, " %s", driver->name);
  fprintf(stderr, "\n");
  return 2;
}

bool ReadAll(const char* path, std::string& out) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, n);
  fclose(file);
  return true;
}

void Save(const FuzzDriver& driver, unsigned long long seed, unsigned long long index, const std::string& input,
          char* path, size_t size) {
  CreateDirectoryA("fuzz-findings", nullptr);
  snprintf(path, size, "fuzz-findings\\%s-%llu-%llu.bin", driver.name, seed, index);
  FILE* file = fopen(path, "wb");
  if (!file) return;
  fwrite(input.data(), 1, input.size(), file);
  fclose(file);
}

// Runs count inputs; the number of findings.
unsigned Run(const FuzzDriver& driver, unsigned long long count, unsigned long long seed) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  unsigned findings = 0;
  std::string input, finding;
  DWORD lastReport = GetTickCount();
  for (unsigned long long index = 0; index < count; ++index) {
    // A long run says how far it got every half minute.
    if (GetTickCount() - lastReport >= 30000) {
      lastReport = GetTickCount();
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      double so_far = static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
      printf("%s: %llu inputs so far, %.0f inputs/s, %u findings\n", driver.name, index,
             so_far > 0 ? static_cast<double>(index) / so_far : 0.0, findings);
      fflush(stdout);
    }
    MakeFuzzInput(driver, seed, index, input);
    finding.clear();
    if (driver.check(input, finding)) continue;
    ++findings;
    char path[MAX_PATH];
    Save(driver, seed, index, input, path, sizeof path);
    printf("FINDING %s seed %llu input %llu: %s (%u bytes, saved as %s)\n", driver.name, seed, index,
           finding.c_str(), static_cast<unsigned>(input.size()), path);
    fflush(stdout);
    if (findings >= 20) {
      printf("%s: stopping after 20 findings\n", driver.name);
      count = index + 1;
      break;
    }
  }
  QueryPerformanceCounter(&end);
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  printf("%s: %llu inputs, seed %llu, %.1f s, %.0f inputs/s, %u findings\n", driver.name, count, seed, seconds,
         seconds > 0 ? static_cast<double>(count) / seconds : 0.0, findings);
  fflush(stdout);
  return findings;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  if (strcmp(argv[2], "--replay") == 0) {
    const FuzzDriver* driver = FindFuzzDriver(argv[1]);
    std::string input, finding;
    if (!driver || argc < 4 || !ReadAll(argv[3], input)) return Usage();
    DWORD started = GetTickCount();
    if (driver->check(input, finding)) {
      printf("%s: %s passes (%lu ms)\n", driver->name, argv[3], GetTickCount() - started);
      return 0;
    }
    printf("FINDING %s %s: %s\n", driver->name, argv[3], finding.c_str());
    return 1;
  }
  bool smoke = strcmp(argv[2], "smoke") == 0;
  unsigned long long count = smoke ? 0 : strtoull(argv[2], nullptr, 10);
  unsigned long long seed = argc > 3 ? strtoull(argv[3], nullptr, 10) : 1;
  if (!smoke && count == 0) return Usage();
  unsigned findings = 0;
  bool any = false;
  for (const FuzzDriver* driver = kFuzzDrivers; driver->name; ++driver) {
    if (strcmp(argv[1], "all") != 0 && strcmp(argv[1], driver->name) != 0) continue;
    any = true;
    findings += Run(*driver, smoke ? driver->smokeCount : count, seed);
  }
  if (!any) return Usage();
  return findings ? 1 : 0;
}
