// One WMI look-up: the text of a property of the first row a query answers.
// It runs on a thread of its own (with its own COM apartment), and the
// caller waits for it only so long: WMI may take any time to answer, or
// never answer, and the callers (the update check, which closing the program
// waits for, and the crash report) must always come to an end. A look-up
// that outlasts the wait goes on by itself and its answer is dropped.
#pragma once

#include <windows.h>

#include "core/WideString.h"

const DWORD WmiPatienceMs = 5000;

// 1 when the first row of query in the namespace (e.g. "ROOT\CIMV2") has
// the property as text and came within timeoutMs; out is left alone
// otherwise.
int WmiFirstText(const wchar_t* nameSpace, const wchar_t* query, const wchar_t* property,
                 WideString& out, DWORD timeoutMs = WmiPatienceMs);
