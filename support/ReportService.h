// The host of the maker's problem-report service, fixed when the program is
// built (the CMake setting PELLTON_REPORT_HOST). Reports go there over https
// (port 443) to the path "/services/tindle/report.php".
#pragma once

const wchar_t* ReportServiceHost();
