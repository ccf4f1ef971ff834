// The time zone local dates are taken in, as a text that changes whenever
// the dates of some instant of the years could change: the zone's key name,
// its biases, and a fingerprint of its rules for each of the years (the
// system's rules for that year: a government moving its clock changes
// them, with a Windows update, for the years concerned).
#pragma once

#include <string>

// The text for the years firstYear..lastYear (at most 200 years are looked at,
// the latest of them).
std::string ZoneRulesText(int firstYear, int lastYear);
