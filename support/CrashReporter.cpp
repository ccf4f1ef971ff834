#include "support/CrashReporter.h"

#include <wininet.h>

#include "core/KernelHandle.h"
#include "core/ModuleVersion.h"
#include "core/ProgramFolder.h"
#include "support/CrashDump.h"
#include "support/CrashReportText.h"
#include "support/DebugHelp.h"
#include "support/HttpClient.h"
#include "support/HttpUrl.h"
#include "support/ProblemReportDialog.h"
#include "support/SystemInfo.h"

namespace {

CrashReporter* volatile g_instance = nullptr;
volatile LONG g_crashInProgress = 0;

// WerRegisterFile's file type WerRegFileTypeOther and its flag
// WER_FILE_ANONYMOUS_DATA (werapi.h).
const int kWerFileTypeOther = 2;
const DWORD kWerFileAnonymousData = 2;

// Registers a report file with Windows Error Reporting where the system
// offers it.
void RegisterWithErrorReporting(const wchar_t* path) {
  typedef HRESULT(WINAPI * RegisterFn)(PCWSTR, int, DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  RegisterFn reg = kernel ? reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(
                                GetProcAddress(kernel, "WerRegisterFile")))
                          : nullptr;
  if (reg) reg(path, kWerFileTypeOther, kWerFileAnonymousData);
}

// The program's path without its extension ("MiniDump" when unknown), and
// the temporary folder followed by the program's name without extension.
void ReportStems(WideString& first, WideString& second, WideString& folder) {
  WideString module;
  if (!ProgramPath(module)) {
    first.Assign(L"MiniDump");
    folder.Assign(L"");
  } else {
    first.Assign(module);
    int dot = first.FindLastChar(L'.');
    int slash = first.FindLastChar(L'\\');
    if (dot > slash) first.Left(dot);
    folder.Assign(module);
    if (slash >= 0) folder.Left(slash + 1);
  }
  wchar_t temp[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH + 1, temp)) temp[0] = 0;
  second.Assign(temp);
  second.Append(WideString::FileNamePart(first.CStr()));
}

// Closes a report file; one that holds nothing, or a dump that was not
// written in full, is removed, so that the question names only files that
// hold something.
void KeepIfWritten(KernelHandle& file, int written, const WideString& path, WideString& kept) {
  LARGE_INTEGER size = {};
  bool holds = GetFileSizeEx(file, &size) && size.QuadPart > 0;
  file.Close();
  if (written && holds)
    kept.Assign(path);
  else
    DeleteFileW(path.CStr());
}

// Questions of the upload: the defaults, except that redirects are not
// followed automatically, so the report reaches only the checked address
// (an automatic redirect could lead a POST with its files to plain http or
// to another host).
int UploadObserver(int event, void*, void*) {
  switch (event) {
    case HttpRequestEndSession:  // no
      return 0;
    case HttpRequestRedirects:  // automatic ones: off
      return 0;
    case HttpRequestCertificates:  // checks: on
      return 1;
    default:
      return 1;
  }
}

}  // namespace

CrashReporter::CrashReporter(DWORD options) : options_(options) {
  log_.SetFlags(LogMemory);
  if (!(options_ & CrashReporterNoFilter)) {
    g_instance = this;
    previous_ = SetUnhandledExceptionFilter(Filter);
  }
}

CrashReporter::~CrashReporter() {
  if (g_instance == this) {
    SetUnhandledExceptionFilter(previous_);
    g_instance = nullptr;
  }
  lastError_.Assign(L"");
  host_.Assign(L"");
  path_.Assign(L"");
}

CrashReporter* CrashReporter::Instance() { return g_instance; }

int CrashReporter::CrashInProgress() { return g_crashInProgress ? 1 : 0; }

void CrashReporter::ConfigureReport(int iconId, const wchar_t* reportHost,
                                    const wchar_t* reportPath, const wchar_t* productId,
                                    const wchar_t* extraText) {
  iconId_ = iconId;
  host_.Assign(reportHost ? reportHost : L"");
  path_.Assign(reportPath ? reportPath : L"");
  if (productId) {
    productId_.Assign(productId);
  } else if (!VersionString(L"InternalName", nullptr, productId_)) {
    productId_.Assign(L"");
  }
  extraText_.Assign(extraText ? extraText : L"");
}

void CrashReporter::SetDumpPatience(DWORD startMs, DWORD finishMs) {
  dumpStartPatienceMs_ = startMs ? startMs : 1;
  dumpFinishPatienceMs_ = finishMs ? finishMs : 1;
}

void CrashReporter::SetLastErrorText(const wchar_t* text) {
  lastError_.Assign(text ? text : L"");
  if (lastError_.Length() > 260) lastError_.Left(260);
}

LONG WINAPI CrashReporter::Filter(EXCEPTION_POINTERS* exception) {
  if (InterlockedExchange(&g_crashInProgress, 1) != 0) return EXCEPTION_CONTINUE_SEARCH;
  CrashReporter* reporter = g_instance;
  if (!reporter || reporter->HandleCrash(exception) == 1) return EXCEPTION_CONTINUE_SEARCH;
  return EXCEPTION_EXECUTE_HANDLER;
}

HANDLE CrashReporter::CreateReportFile(const wchar_t* ending, WideString& path) {
  WideString first, second, folder;
  ReportStems(first, second, folder);
  first.Append(ending);
  second.Append(ending);
  const WideString* candidates[] = {&first, &second};
  for (const WideString* candidate : candidates) {
    HANDLE file = CreateFileW(candidate->CStr(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      path.Assign(*candidate);
      RegisterWithErrorReporting(path.CStr());
      return file;
    }
  }
  path.Assign(first);
  return INVALID_HANDLE_VALUE;
}

int CrashReporter::HandleCrash(EXCEPTION_POINTERS* exception) {
  WideString first, second, folder;
  ReportStems(first, second, folder);
  dumpPath_.Assign(L"");
  textPath_.Assign(L"");

  DebugHelp help;
  help.Bind(folder.CStr());
  CrashRecords records;
  if (help.IsBound()) {
    WideString path;
    KernelHandle file(CreateReportFile(L"_Debug.dmp", path));
    if (file != INVALID_HANDLE_VALUE) {
      int written = WriteCrashDump(help, file, exception, records, dumpStartPatienceMs_,
                                   dumpFinishPatienceMs_);
      threadsBlocked_ = records.threadsBlocked;
      KeepIfWritten(file, written, path, dumpPath_);
    }
  }

  WideString path;
  KernelHandle text(CreateReportFile(L"_Debug.txt", path));
  if (text != INVALID_HANDLE_VALUE) {
    SystemInfo system;
    WriteCrashText(text, exception, help, log_, records, system);
    KeepIfWritten(text, 1, path, textPath_);  // what could be written of it still tells
  }

  int answer = SendProblemReport(dumpPath_.CStr(), textPath_.CStr());
  help.Unbind();
  return answer;
}

int CrashReporter::SendProblemReport(const wchar_t* dumpPath, const wchar_t* textPath) {
  if (host_.IsEmpty()) return 1;
  ProblemReportDialog dialog(iconId_, dumpPath, textPath);
  if (!dialog.Ask()) return 0;
  // The upload runs its calls on a thread of their own, which could never
  // begin: the process ends rather than hanging.
  if (threadsBlocked_) return 0;

  // Private data goes over https; plain http only to this computer.
  if (port_ != INTERNET_DEFAULT_HTTPS_PORT && !IsLoopbackHost(host_.CStr())) return 0;

  ModuleVersion version;
  FileVersion(nullptr, &version);
  WideString machine;
  SystemInfo system;
  system.MachineId(SystemInfo::CallerProblemReport, machine);

  HttpClient http;
  http.SetFailureSink(this);
  const wchar_t* fields[][2] = {
      {L"a", L"r"},
      {L"p", productId_.CStr()},
      {L"s", extraText_.CStr()},
      {L"v", version.text.CStr()},
      {L"g", machine.CStr()},
      {L"e", dialog.Email().CStr()},
      {L"x", dialog.Description().CStr()},
  };
  for (auto& field : fields)
    if (!http.AddFormField(field[0], field[1])) return 0;
  http.AddFormFile(L"d", dumpPath ? dumpPath : L"");
  http.AddFormFile(L"t", textPath ? textPath : L"");

  HttpClient::RequestOptions options;
  options.port = static_cast<INTERNET_PORT>(port_);
  options.observer = UploadObserver;
  WideString response;
  http.HttpPostMultipart(host_.CStr(), path_.CStr(), L"", response, options);
  return 0;
}
