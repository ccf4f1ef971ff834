// The runs the reliability tests store: run n of the history has a start
// and a pattern made from n alone, so that whoever reads the file back
// knows what each row must hold.
#pragma once

#include <string>

#include "core/ByteBuffer.h"

const wchar_t kReliabilityAddress[] = L"00:1A:7D:DA:71:13";
const unsigned kReliabilityFirstStart = 1400000000u;

inline unsigned RunStart(unsigned n) { return kReliabilityFirstStart + n * 900u; }

// A walking pattern of 6-byte records, a few hundred bytes to a few KB.
inline std::string RunPattern(unsigned n) {
  std::string pattern(6u * (1 + (n * 37u) % 400u), '\0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>((n * 131u + i * 7u) & 0xFF);
  pattern[0] = 1;  // an active first quarter hour
  return pattern;
}

inline void FillBuffer(ByteBuffer& buffer, const std::string& bytes) {
  BufferClear(buffer);
  BufferAppend(buffer, bytes.data(), bytes.size());
}
