// What the process does from its start to its end: read the command line,
// make sure this is the only Pellton on its database, set up the trackers'
// source (the platform's Bluetooth LE stack, or simulated trackers) and run
// the main window modally. The result is the process's exit code:
//
//   the main window's result   normally 0 (-1 when it could not be made)
//   2                          the command line was wrong (nothing started)
//   3                          with --quit-when-idle: another Pellton runs on
//                              this folder's database (its window was
//                              brought to the front)
//
// A wrong command line is reported in a message box, or on standard error
// with --quit-when-idle, so automated runs never wait for a click.
#pragma once

#include <windows.h>

const int ExitBadCommandLine = 2;
const int ExitAlreadyRunning = 3;

int RunProgram(HINSTANCE instance, const wchar_t* commandLine);
