// The time zone local dates are taken in, as a text that changes whenever
// the dates of some instant of the years could change: the zone's key name,
// its biases, and a fingerprint of its rules for each of the years (the
// system's rules for that year: a government moving its clock changes
// them, with a Windows update, for the years concerned).
#pragma once

#include <string>

// The text for the years firstYear..lastYear (at most 200 years are looked at,
// the latest of them).
// The process keeps the last text made: made again once the zone's name,
// biases or current rules differ (a year's rules changed by an update of
// Windows while Pellton runs are taken at its next start), or when fresh.
std::string ZoneRulesText(int firstYear, int lastYear, bool fresh = false);

// What ZoneRulesText begins with: the zone's name and biases, without a
// year's rules (no registry read).
std::string ZoneIdentityText();
