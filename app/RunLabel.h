// The text a date list shows for a recorded run: the start in local time,
// as the user's long date with the weekday abbreviated ("dddd" of the
// locale's long date format becomes "ddd"), a space, and the time without
// seconds.
#pragma once

class WideString;

// 1 with the label; 0 (label emptied) when the start cannot be shown.
int FormatRunLabel(unsigned start, WideString& label);
