// Two simulated trackers whose history frames are given byte for byte, so
// that the runs a download stores are known exactly, and a reader of the
// rows a Pellton.sql holds. Header only, for the main window and program
// tests.
//
// Left (00:11:22:33:44:01): walking records of 5, five empty, 7 and 8 steps
// from 2014-06-01 00:00 UTC (two runs: the first alone, cut by the fifth
// empty quarter hour; the last two from 01:30); sleeping AA AA 55 55 AA from
// 22:00 (one run from 22:04: AA 55 55, the trailing AA dropped).
// Right (00:11:22:33:44:02): walking 3, a marker block, two empty, 4 from
// 2014-06-02 08:00 (one run of four records, the marker taking no time);
// sleeping 55 and seventeen AA from 00:00 (one run: 55 AA).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/Database.h"
#include "core/WideString.h"

namespace twotrackers {

typedef std::vector<unsigned char> Bytes;

inline Bytes Record(unsigned steps, unsigned calories, unsigned distance) {
  return {static_cast<unsigned char>(steps >> 8), static_cast<unsigned char>(steps),
          static_cast<unsigned char>(calories >> 8), static_cast<unsigned char>(calories),
          static_cast<unsigned char>(distance >> 8), static_cast<unsigned char>(distance)};
}

inline void Add(Bytes& to, const Bytes& bytes) {
  for (unsigned char b : bytes) to.push_back(b);
}

// A history frame: length, code, four unexamined bytes, the start (year -
// 2000, month, day, hour, minute, second), the unexamined rest of the
// header (7 bytes walking, 1 sleeping), the stream, four trailing bytes.
// The length field counts the bytes after itself.
inline Bytes Frame(bool walking, const Bytes& start, const Bytes& stream) {
  Bytes frame;
  frame.reserve(24 + stream.size());
  Add(frame, {0, 0, static_cast<unsigned char>(walking ? 131 : 132), 0, 0, 0, 0});
  Add(frame, start);
  Add(frame, Bytes(walking ? 7 : 1, 0));
  Add(frame, stream);
  Add(frame, {0xDE, 0xAD, 0xBE, 0xEF});
  size_t length = frame.size() - 2;
  frame[0] = static_cast<unsigned char>(length >> 8);
  frame[1] = static_cast<unsigned char>(length);
  return frame;
}

inline std::string HexText(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char b : bytes) {
    text.push_back(digits[b >> 4]);
    text.push_back(digits[b & 15]);
  }
  return text;
}

inline Bytes Marker() {
  Bytes block = {0x7F, 0x7F, 0x7F, 0x7F, 0x6D, 0x6D, 0x6D, 0x6D};
  Add(block, Bytes(13, 0));  // a walking marker block is 21 bytes
  return block;
}

inline std::string LeftScenario() {
  Bytes walking;
  Add(walking, Record(5, 1, 4));
  for (int i = 0; i < 5; ++i) Add(walking, Record(0, 0, 0));
  Add(walking, Record(7, 2, 5));
  Add(walking, Record(8, 3, 6));
  Bytes sleeping = {0xAA, 0xAA, 0x55, 0x55, 0xAA};
  return "name EI-AN900 (left)\n"
         "address 00:11:22:33:44:01\n"
         "battery 64\n"
         "hardware 1.2\n"
         "firmware 1.2.3\n"
         "clock 2014-06-03 10:00:00\n"
         "live 1234 56 78\n"
         "walking " + HexText(Frame(true, {14, 6, 1, 0, 0, 0}, walking)) + "\n"
         "sleeping " + HexText(Frame(false, {14, 6, 1, 22, 0, 0}, sleeping)) + "\n";
}

inline std::string RightScenario() {
  Bytes walking;
  Add(walking, Record(3, 1, 1));
  Add(walking, Marker());
  Add(walking, Record(0, 0, 0));
  Add(walking, Record(0, 0, 0));
  Add(walking, Record(4, 2, 2));
  Bytes sleeping = {0x55};
  Add(sleeping, Bytes(17, 0xAA));
  return "name EI-AN900 (right)\n"
         "address 00:11:22:33:44:02\n"
         "battery 90\n"
         "hardware 2.0\n"
         "firmware 2.0.1\n"
         "clock 2014-06-03 11:00:00\n"
         "walking " + HexText(Frame(true, {14, 6, 2, 8, 0, 0}, walking)) + "\n"
         "sleeping " + HexText(Frame(false, {14, 6, 2, 0, 0, 0}, sleeping)) + "\n";
}

const wchar_t LeftAddress[] = L"00:11:22:33:44:01";
const wchar_t RightAddress[] = L"00:11:22:33:44:02";
const wchar_t LeftText[] = L"EI-AN900 (left) [00:11:22:33:44:01]";
const wchar_t RightText[] = L"EI-AN900 (right) [00:11:22:33:44:02]";

// One stored row: "mac start HEXPATTERN".
inline std::vector<std::wstring> ExpectedWalkingRows() {
  return {L"00:11:22:33:44:01 1401580800 000500010004",
          L"00:11:22:33:44:01 1401586200 000700020005000800030006",
          L"00:11:22:33:44:02 1401696000 000300010001000000000000000000000000000400020002"};
}

inline std::vector<std::wstring> ExpectedSleepingRows() {
  return {L"00:11:22:33:44:01 1401660240 AA5555",
          L"00:11:22:33:44:02 1401667200 55AA"};
}

// The rows of a table as "mac start HEXPATTERN", ordered by mac and start;
// a single "<...>" line when the file or the table cannot be read.
inline std::vector<std::wstring> StoredRows(const wchar_t* databasePath, const wchar_t* table) {
  std::vector<std::wstring> rows;
  if (GetFileAttributesW(databasePath) == INVALID_FILE_ATTRIBUTES) return {L"<no file>"};
  Database database;
  if (!database.Open(databasePath, 0, 0, 0)) return {L"<not opened>"};
  WideString sql;
  sql.Format(L"SELECT mac, start, hex(pattern) FROM `%s` ORDER BY mac, start;", table);
  QueryResult result = database.Query(sql.CStr());
  while (result) {
    WideString mac, start, pattern;
    result->GetText(-1, 0, mac);
    result->GetText(-1, 1, start);
    result->GetText(-1, 2, pattern);
    rows.push_back(std::wstring(mac.CStr()) + L" " + start.CStr() + L" " + pattern.CStr());
    if (!result->MoveNext()) break;
  }
  if (result) database.ReleaseResult(result);
  database.Close();
  return rows;
}

}  // namespace twotrackers
