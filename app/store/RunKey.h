// What keys a run in the activity store: its table, the tracker's address
// text (its device address as six upper-case two-digit hexadecimal bytes
// separated by colons, "00:1A:7D:DA:71:13") and its start.
#pragma once

enum ActivityTable : int {
  WalkingTable = 0,
  SleepingTable = 1,
};

// 1 when the text is an address as the store keys rows by it.
int IsAddressText(const wchar_t* address);
