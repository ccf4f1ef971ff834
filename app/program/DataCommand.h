// The command-line work on the stored data, without a window: --export,
// --backup, --import and --trends-page (CommandLine). Results go to
// standard output, problems to standard error, one line each. Exit codes:
//
//   0   done
//   1   something failed while working (said on standard error); nothing
//       half-written is left behind
//   2   wrong use: a bad switch or value, a file that cannot be written, a
//       missing folder or database, an import file that is damaged or no
//       Pellton database
//   3   --import while another Pellton runs on the database
//   4   another Pellton holds the database and showed no window within 10 s
//
// An export or a backup while another Pellton runs on the database is made
// from a copy that Pellton makes of its database on request (CopyRequest);
// otherwise the file is read directly, held against a Pellton starting
// meanwhile. An import needs the database to itself.
#pragma once

class CommandLine;

int RunDataCommand(const CommandLine& line);
