// One WMI look-up: the text of a property of the first row a query answers.
// Runs in its own COM apartment holder on the calling thread.
#pragma once

#include "core/WideString.h"

// 1 when the first row of query in the namespace (e.g. "ROOT\CIMV2") has
// the property as text; out is left alone otherwise.
int WmiFirstText(const wchar_t* nameSpace, const wchar_t* query, const wchar_t* property,
                 WideString& out);
