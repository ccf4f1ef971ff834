// Window placement texts into the placement reader: a text gives all five
// numbers or leaves the value alone, and what it gives is written back as
// a text that reads as the same five numbers.
#include <cstring>
#include <cwchar>

#include "tests/fuzz/FuzzDriver.h"
#include "ui/PlacementText.h"

void GeneratePlacement(FuzzRandom& random, std::string& input) {
  static const char* const kPieces[] = {"0", "1", "3", "-5", "120", "0x1F", "0X7fffffff", "010",
                                        "089", "2147483647", "-2147483648", "99999999999", ",",
                                        ",", ",", " ", "+", "-", "x", "\t", "0x", "1e3", ""};
  unsigned pieces = random.Below(14);
  for (unsigned i = 0; i < pieces; ++i) {
    if (random.OneIn(15)) {
      input.push_back(static_cast<char>(random.Byte()));
    } else {
      input += kPieces[random.Below(sizeof kPieces / sizeof kPieces[0])];
    }
  }
}

int CheckPlacement(const std::string& input, std::string& finding) {
  // Bytes become code units one for one (a NUL ends the text).
  std::wstring text;
  for (char c : input) {
    if (!c) break;
    text.push_back(static_cast<unsigned char>(c));
  }
  const PlacementValue untouched = {77, {11, 22, 33, 44}};
  PlacementValue value = untouched;
  int parsed = ParsePlacementText(text.c_str(), &value);
  if (!parsed) {
    if (memcmp(&value, &untouched, sizeof value) != 0) {
      finding = "a refused text changed the value";
      return 0;
    }
    return 1;
  }
  WideString written;
  if (!FormatPlacementText(value, written)) {
    finding = "a value read from a text cannot be written";
    return 0;
  }
  PlacementValue back = untouched;
  if (!ParsePlacementText(written.CStr(), &back) || memcmp(&back, &value, sizeof value) != 0) {
    finding = "the written text does not read back as the same value";
    return 0;
  }
  return 1;
}
