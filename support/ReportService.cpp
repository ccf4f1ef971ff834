#include "support/ReportService.h"

#ifndef PELLTON_REPORT_HOST
#error "PELLTON_REPORT_HOST is set by the build"
#endif

const wchar_t* ReportServiceHost() { return L"" PELLTON_REPORT_HOST; }
