// Address and UUID texts: device addresses as the platform reports them
// and UUID texts or names as the program looks objects up. A read address
// is written back as text that reads as the same six bytes; a refused
// text leaves the address zero; a UUID's own text (in any letter case)
// always names it, and no text makes the lookup misbehave.
#include <cstring>
#include <cwctype>

#include "ble/GattDevice.h"
#include "ble/GattNames.h"
#include "core/WideString.h"
#include "tests/fuzz/FuzzDriver.h"

// Input: a mode byte (even: an address text, odd: a UUID), then for an
// address its text, for a UUID 17 bytes (kind, 16 value bytes) and a
// wanted text.
void GenerateAddress(FuzzRandom& random, std::string& input) {
  static const char* const kPieces[] = {"00", "1A", "7d", "FF", "0", "100", "FFFFFFFF", ":", ":",
                                        "-", "-", "", " ", "x", "0x1", "+1", "-1", "fc1cff08",
                                        "{", "}", "0000", "71F1", "A19B3DCA3230"};
  bool address = random.OneIn(2);
  input.push_back(address ? 0 : 1);
  if (!address) {
    input.push_back(static_cast<char>(random.Below(2)));
    for (int i = 0; i < 16; ++i) input.push_back(static_cast<char>(random.Byte()));
  }
  unsigned pieces = random.Below(16);
  for (unsigned i = 0; i < pieces; ++i) {
    if (random.OneIn(12)) {
      input.push_back(static_cast<char>(random.Byte()));
    } else {
      input += kPieces[random.Below(sizeof kPieces / sizeof kPieces[0])];
    }
  }
}

int CheckAddress(const std::string& input, std::string& finding) {
  if (input.empty()) return 1;
  bool address = (input[0] & 1) == 0;
  size_t textAt = address ? 1 : 18;
  if (input.size() < textAt) return 1;
  std::wstring text;
  for (size_t i = textAt; i < input.size() && input[i]; ++i) text.push_back(static_cast<unsigned char>(input[i]));
  if (address) {
    unsigned char bytes[6];
    memset(bytes, 0xEE, sizeof bytes);
    int parsed = GattDevice::ParseAddress(text.c_str(), bytes);
    static const unsigned char kZero[6] = {};
    if (!parsed) {
      if (memcmp(bytes, kZero, 6) != 0) {
        finding = "a refused address text left a non-zero address";
        return 0;
      }
      return 1;
    }
    WideString written;
    written.Format(L"%02X:%02X:%02X:%02X:%02X:%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                   bytes[5]);
    unsigned char back[6];
    if (!GattDevice::ParseAddress(written.CStr(), back) || memcmp(back, bytes, 6) != 0) {
      finding = "an address written as text does not read back as the same bytes";
      return 0;
    }
    return 1;
  }
  BTH_LE_UUID uuid;
  if (input[1] & 1) {
    GUID value;
    memcpy(&value, input.data() + 2, sizeof value);
    uuid = GattLongUuid(value);
  } else {
    uuid = GattShortUuid(static_cast<USHORT>(static_cast<unsigned char>(input[2]) * 256 +
                                             static_cast<unsigned char>(input[3])));
  }
  WideString own;
  if (!GattUuidTextOrName(uuid, own, 1)) {
    finding = "a UUID without its text";
    return 0;
  }
  std::wstring lower(own.CStr());
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  if (!GattUuidMatches(uuid, own.CStr()) || !GattUuidMatches(uuid, lower.c_str())) {
    finding = "a UUID's own text does not name it";
    return 0;
  }
  bool matches = GattUuidMatches(uuid, text.c_str());
  WideString named;
  GattUuidTextOrName(uuid, named, 0);
  if (matches && _wcsicmp(text.c_str(), own.CStr()) != 0 && _wcsicmp(text.c_str(), named.CStr()) != 0) {
    finding = "a text that is neither the UUID's text nor its name names it";
    return 0;
  }
  return 1;
}
