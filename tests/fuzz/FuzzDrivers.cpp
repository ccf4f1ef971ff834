#include "tests/fuzz/FuzzDriver.h"

#include <cstring>

const FuzzDriver kFuzzDrivers[] = {
    {"link", GenerateLink, CheckLink, 3000},
    {"decoder", GenerateDecoder, CheckDecoder, 3000},
    {"scenario", GenerateScenario, CheckScenario, 3000},
    {"xml", GenerateXml, CheckXml, 300},
    {"update-answer", GenerateUpdateAnswer, CheckUpdateAnswer, 200},
    {"zip", GenerateZip, CheckZip, 100},
    {"settings", GenerateSettings, CheckSettings, 60},
    {"placement", GeneratePlacement, CheckPlacement, 3000},
    {"address", GenerateAddress, CheckAddress, 3000},
    {"multipart-upload", GenerateUpload, CheckUpload, 1000},
    {"store-file", GenerateStoreDatabase, CheckStoreDatabase, 40},
    {nullptr, nullptr, nullptr, 0},
};

const FuzzDriver* FindFuzzDriver(const char* name) {
  for (const FuzzDriver* driver = kFuzzDrivers; driver->name; ++driver) {
    if (strcmp(driver->name, name) == 0) return driver;
  }
  return nullptr;
}

void MakeFuzzInput(const FuzzDriver& driver, uint64_t seed, uint64_t index, std::string& input) {
  FuzzRandom mix(seed * 0x100000001B3ull ^ index);
  FuzzRandom random(mix.Next() ^ (index << 1));
  input.clear();
  driver.generate(random, input);
}
