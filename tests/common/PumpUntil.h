// Running this thread's messages while a test waits for something.
#pragma once

#include <windows.h>

#include <functional>

// Runs the messages until done() holds; false when timeoutMs (a guard
// against a hang, not a timing) passed first. Between looks it waits for
// the next message, at most 20 ms, so that a condition met on another
// thread is seen too. With a dialog, messages go through its dialog
// manager first, as in its message loop.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000, HWND dialog = nullptr);
// Runs every message already waiting (paints included).
void PumpWaiting(HWND dialog = nullptr);
