// The fuzz drivers: one per input the program takes from outside. A driver
// makes an input from a deterministic random source and checks it against
// the program: not only that nothing crashes or hangs, but the invariants
// of that input (a kept frame is as long as its length field says, a
// decoded run starts and ends as it should, no ZIP entry lands outside its
// folder, a refused scenario line is named...). An input is a byte string,
// so a failing one can be saved and checked again as it is.
#pragma once

#include <cstdint>
#include <string>

// splitmix64: the same seed and input number always give the same input.
class FuzzRandom {
public:
  explicit FuzzRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (0 when n is 0).
  unsigned Below(unsigned n) { return n ? static_cast<unsigned>(Next() % n) : 0; }
  bool OneIn(unsigned n) { return Below(n) == 0; }
  unsigned char Byte() { return static_cast<unsigned char>(Next()); }
  // One of the given bytes, or now and then any byte.
  template <size_t N>
  unsigned char Pick(const unsigned char (&choices)[N]) {
    return OneIn(8) ? Byte() : choices[Below(N)];
  }

private:
  uint64_t state_;
};

struct FuzzDriver {
  const char* name;
  void (*generate)(FuzzRandom& random, std::string& input);
  // 1 when every invariant held; otherwise 0 and finding says what broke.
  int (*check)(const std::string& input, std::string& finding);
  // Inputs of the smoke pass run by the test command.
  unsigned smokeCount;
};

// Every driver, ended by one with no name.
extern const FuzzDriver kFuzzDrivers[];
const FuzzDriver* FindFuzzDriver(const char* name);

// The input of number index under a seed: its own random source, so that
// any input can be made again alone.
void MakeFuzzInput(const FuzzDriver& driver, uint64_t seed, uint64_t index, std::string& input);

// Each driver's two functions.
#define PELLTON_FUZZ_DRIVER(name)                                   \
  void Generate##name(FuzzRandom& random, std::string& input);      \
  int Check##name(const std::string& input, std::string& finding);
PELLTON_FUZZ_DRIVER(Link)
PELLTON_FUZZ_DRIVER(Decoder)
PELLTON_FUZZ_DRIVER(Scenario)
PELLTON_FUZZ_DRIVER(Xml)
PELLTON_FUZZ_DRIVER(UpdateAnswer)
PELLTON_FUZZ_DRIVER(Zip)
PELLTON_FUZZ_DRIVER(Settings)
PELLTON_FUZZ_DRIVER(Placement)
PELLTON_FUZZ_DRIVER(Address)
PELLTON_FUZZ_DRIVER(Upload)
PELLTON_FUZZ_DRIVER(StoreDatabase)
#undef PELLTON_FUZZ_DRIVER
