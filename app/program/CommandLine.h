// The program's switches. Without any, Pellton talks to the trackers paired
// with the PC through the platform's Bluetooth LE stack. The switches:
//
//   --simulate           one simulated tracker with three weeks of history
//   --simulate=N         N of them (1 to MaxSimulated)
//   --scenario FILE      one simulated tracker set up by a scenario file;
//                        repeatable, the trackers come in the order given
//                        and before those of --simulate
//   --quit-when-idle     close the window normally once the search and every
//                        download it queued have finished
//   --settings-key KEY   keep the settings under HKEY_CURRENT_USER\KEY
//                        instead of Software\Vantrel\Pellton
//   --screenshots DIR    once idle, save a picture of each tab and the two
//                        chart pages into the existing folder DIR, then
//                        close (implies --quit-when-idle)
//   --database FILE      use this database file instead of Pellton.sql
//                        beside the program (its folder must exist)
//
// Work on the stored data, without a window (app/data/DataCommand):
//
//   --export FILE --kind walking|sleeping|days|nights [--tracker ADDRESS]
//       [--from YYYY-MM-DD] [--to YYYY-MM-DD]
//                        a CSV file of the stored runs
//   --backup FOLDER      a checked copy of the database in the folder
//   --import FILE        merge the runs of another Pellton database
//   --trends-page FILE --tracker ADDRESS [--period week|month|year|all]
//       [--today YYYY-MM-DD]
//                        the Trends page of the tracker for the period
//                        holding today (a month, the PC's date unless
//                        given), with the goals and distance unit of the
//                        settings (--settings-key)
//
// A value may also follow its switch after '=' (--scenario=FILE). Parsing
// checks everything before the window opens: an unknown switch, a missing
// value or a scenario file that cannot be read or has a bad line is a
// problem the caller reports instead of starting.
#pragma once

#include <vector>

#include "app/simulation/TrackerScenario.h"
#include "app/data/CsvExport.h"
#include "app/trends/TrendPeriod.h"
#include "core/WideString.h"

class CommandLine {
public:
  static const unsigned MaxSimulated = 16;
  // The switches, one a line, for messages about a wrong command line.
  static const wchar_t Usage[];

  CommandLine();

  // Reads the arguments that follow the program name. 1 when all were
  // understood and every scenario file loaded; otherwise 0 and error holds
  // the problems found, one a line. Every argument is looked at even after a
  // problem, so QuitWhenIdle is known however the line is wrong.
  int Parse(int count, const wchar_t* const* arguments, WideString& error);
  // The same for a whole command line as the process got it (the program
  // name first, split as the C runtime splits it).
  int ParseCommandLine(const wchar_t* commandLine, WideString& error);

  // Simulated trackers of any kind are in use.
  bool Simulated() const { return simulatedCount != 0 || !scenarios.empty(); }

  enum DataAction { DataNone, DataExport, DataBackup, DataImport, DataTrendsPage };
  // Problems are said on standard error: a data command or an unattended run.
  bool Unattended() const { return quitWhenIdle || dataAction != DataNone; }

  unsigned simulatedCount;               // from --simulate
  std::vector<TrackerScenario> scenarios;  // from --scenario, in order
  bool quitWhenIdle;
  WideString settingsKey;
  WideString screenshotFolder;  // empty: none
  WideString databasePath;      // full path; empty: Pellton.sql beside the program

  DataAction dataAction = DataNone;
  WideString dataPath;          // the --export, --import or --trends-page file, the --backup folder
  ExportRequest exportRequest;  // --kind, --tracker, --from, --to
  TrendPeriodKind trendsPeriod = PeriodMonth;  // --period
  int trendsToday = 0;                         // --today; 0: the PC's date

private:
  int TakeScenario(const wchar_t* path, WideString& error);
  int TakeSimulateCount(const wchar_t* text, WideString& error);
  int TakeData(const wchar_t* name, const wchar_t* value, WideString& error);
  int CheckDataSwitches(WideString& error);

  bool kindGiven_ = false;
  bool trackerGiven_ = false;
  bool rangeGiven_ = false;      // --from or --to
  bool trendsGiven_ = false;     // --period or --today
  bool windowSwitches_ = false;  // a switch only the window run knows
};
