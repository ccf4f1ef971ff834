// The process-wide crash reporter. Constructed at program start, it installs
// its unhandled-exception filter (unless CrashReporterNoFilter). On the
// first unhandled exception it writes two files about the failure next to
// the program (stem + "_Debug.dmp", a minidump written by dbghelp, and stem +
// "_Debug.txt", a readable report), or in the temporary folder when they
// cannot be created there; asks the user in ProblemReportDialog whether to
// send them; and if so uploads them with the typed description and e-mail
// address as a multipart form to the configured report host. Then the
// process ends. A second exception while a report is being made is handed
// to the system at once. Without a report host the files are written,
// nothing is asked or sent, and the system's own crash handling follows.
//
// Reports go over https (port 443); another port is accepted only for a
// loopback host (tests). Certificate checks stay on.
//
// It also receives the HTTP client's failure texts (HttpFailureSink) and
// carries a log in memory mode whose lines are printed in the report.
#pragma once

#include <windows.h>

#include "core/LogWriter.h"
#include "core/WideString.h"
#include "support/CrashDump.h"
#include "support/HttpFailureSink.h"

enum CrashReporterOptions : DWORD {
  CrashReporterNoFilter = 0x8,  // do not install the exception filter
};

class CrashReporter : public HttpFailureSink {
public:
  explicit CrashReporter(DWORD options = 0);
  ~CrashReporter() override;
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;

  // The installed reporter, or none.
  static CrashReporter* Instance();

  // productId none: the version resource's "InternalName"; extraText none:
  // "". An empty host means never ask, never send.
  void ConfigureReport(int iconId, const wchar_t* reportHost, const wchar_t* reportPath,
                       const wchar_t* productId = nullptr, const wchar_t* extraText = nullptr);
  int IconId() const { return iconId_; }
  const WideString& ReportHost() const { return host_; }
  const WideString& ReportPath() const { return path_; }
  const WideString& ProductId() const { return productId_; }
  // The port of the report host (default 443; others only for loopback).
  void SetReportPort(unsigned port) { port_ = port; }
  // How long the dump thread may take to begin and to write the dump
  // (CrashDumpStartPatienceMs and CrashDumpFinishPatienceMs unless set).
  void SetDumpPatience(DWORD startMs, DWORD finishMs);

  LogWriter& Log() { return log_; }
  void SetLastErrorText(const wchar_t* text) override;
  const wchar_t* LastErrorText() const { return lastError_.CStr(); }

  // The filter's work: files, question, upload. 1 when no report host is
  // configured (the system's handling should follow), else 0.
  int HandleCrash(EXCEPTION_POINTERS* exception);
  // Asks and sends; 1 when no report host is configured, else 0.
  int SendProblemReport(const wchar_t* dumpPath, const wchar_t* textPath);

  // The paths of the files the last HandleCrash wrote: "" for a file that
  // could not be written or holds nothing (it is not left behind empty).
  const WideString& DumpPath() const { return dumpPath_; }
  const WideString& TextPath() const { return textPath_; }

  // 1 once a crash is being handled in this process.
  static int CrashInProgress();

private:
  static LONG WINAPI Filter(EXCEPTION_POINTERS* exception);
  // Creates stem + ending, else the temporary folder's name + ending; the
  // path used goes to path. INVALID_HANDLE_VALUE when neither works.
  HANDLE CreateReportFile(const wchar_t* ending, WideString& path);

  DWORD options_;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_ = nullptr;
  WideString lastError_;
  int iconId_ = 0;
  WideString host_;
  WideString path_;
  WideString productId_;
  WideString extraText_;
  unsigned port_ = 443;
  LogWriter log_;
  WideString dumpPath_;
  WideString textPath_;
  bool threadsBlocked_ = false;  // no thread could begin during the crash
  DWORD dumpStartPatienceMs_ = CrashDumpStartPatienceMs;
  DWORD dumpFinishPatienceMs_ = CrashDumpFinishPatienceMs;
};
