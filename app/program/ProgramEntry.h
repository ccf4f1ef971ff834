// What the process does from its start to its end: read the command line,
// make sure this is the only Pellton on its database, set up the trackers'
// source (the platform's Bluetooth LE stack, or simulated trackers) and run
// the main window modally. The result is the process's exit code:
//
//   the main window's result   normally 0 (-1 when it could not be made);
//                              with --quit-when-idle 0 when every tracker
//                              found was downloaded and stored, 1 when
//                              something failed (said on standard error),
//                              5 when no tracker was found
//   2                          the command line was wrong (nothing started)
//   3                          with --quit-when-idle: another Pellton runs on
//                              this folder's database (its window was
//                              brought to the front)
//   4                          another Pellton holds this folder's database
//                              and neither showed a window nor ended within
//                              10 s (it may be hanging while it closes, or
//                              run under another account, whose window is
//                              not on this desktop)
//
// A second start that finds the other copy still starting or still closing
// (claim held, no window shown) waits for its window or its end; once the
// claim is given up it starts as usual.
//
// --export, --backup, --import and --trends-page run without a window
// (app/program/DataCommand, which lists their codes).
//
// A wrong command line or a claim that stays held is reported in a message
// box, or on standard error with --quit-when-idle, so automated runs never
// wait for a click.
#pragma once

#include <windows.h>

const int ExitBadCommandLine = 2;
const int ExitAlreadyRunning = 3;
const int ExitStillRunning = 4;

int RunProgram(HINSTANCE instance, const wchar_t* commandLine);
