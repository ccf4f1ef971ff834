// Asks the update service whether a newer version of the program exists,
// offers it to the user, downloads the new files, swaps them in next to the
// running program and restarts it. The check runs on a thread of its own;
// every question goes to the owner window's thread as the registered
// message "_C_AutoUpdate" (wParam 0: the offer, 1: the restart; result 1
// for Yes), handled by a hook on the owner window. Failures are silent: the
// check simply ends.
//
// Beyond the plain protocol: addresses must be https (loopback excepted,
// see HttpUrl.h), the answer is capped and may not declare a DTD, entry
// names may not leave the program folder, every entry must carry a
// "sha256" that its download matches and a "signature" (128 hexadecimal
// digits, r and s) with which its SHA-256 verifies as ECDSA P-256 under the
// release key built into the program (an answer without them, and any
// answer in a build without the key, is not offered; a download that does
// not verify fails before anything is moved), no two entries may touch the
// same file, an archive must hold
// the file its entry names, only http(s) help links are opened, Shutdown
// cancels a request in flight instead of waiting for the network, and
// after pass 3 every named file must be the one its entry delivered: when
// that or any step of passes 2 and 3 fails, every file set aside moves
// back over whatever took its name.
#pragma once

#include <windows.h>

#include <vector>

#include "core/SettingsStore.h"
#include "core/WideString.h"
#include "core/WorkerThread.h"
#include "support/HttpClient.h"
#include "ui/Subclass.h"

enum UpdateFlags : unsigned {
  UpdateEnvelope = 0x1,     // long request form, paths below "Kestran\Updates\xml"
  UpdateNoThread = 0x2,     // Setup starts no check; the owner calls RunCheck
  UpdateIniSettings = 0x4,  // values in an INI-file store instead of the registry
};

// How the last check ended (RunCheck's answer only tells whether a restart
// began).
enum UpdateCheckOutcome : LONG {
  UpdateCheckNotRun = 0,
  UpdateCheckNoAnswer,     // the service did not answer, or not with an update answer
  UpdateCheckUpToDate,     // no newer version
  UpdateCheckDeclined,     // a newer version was offered (now or before) and not taken
  UpdateCheckFailed,       // a newer version was taken and could not be put in place
  UpdateCheckInstalled,    // put in place; the restart was declined
  UpdateCheckRestarting,   // put in place and started
};

class UpdateClient {
public:
  // Starts a file (program, document or help link) in a working folder
  // (none: no folder); 1 when started.
  typedef int (*Launcher)(const wchar_t* file, const wchar_t* folder, void* user);
  typedef unsigned (*Clock)();

  UpdateClient();
  ~UpdateClient() { Shutdown(); }
  UpdateClient(const UpdateClient&) = delete;
  UpdateClient& operator=(const UpdateClient&) = delete;

  void Setup(const wchar_t* serviceUrl, HWND owner, HKEY root, const wchar_t* keyPath,
             const wchar_t* lastCheckName, unsigned flags, const wchar_t* productName,
             const wchar_t* productType);
  // Cancels a running request, waits for the check thread while answering
  // sent messages (questions asked meanwhile are answered No), unhooks.
  void Shutdown();
  // 1 when the restart was started (report mode: when the entries were
  // reported).
  int RunCheck(const wchar_t* versionOverride, WideString* urlOut, WideString* fileNameOut);
  // The last automatic check as local date and time, "" when none.
  void LastCheckText(WideString& out);

  // 1 while the check thread runs; result: RunCheck's answer once ended.
  int CheckRunning(DWORD* result = nullptr) const;
  // How the last check ended (UpdateCheckNotRun while none has).
  UpdateCheckOutcome LastOutcome() const { return static_cast<UpdateCheckOutcome>(outcome_); }

  // Replaceable parts of the environment (tests).
  void SetProgramPath(const wchar_t* path);  // none: this program's file
  void SetDesktopFolder(const wchar_t* folder);  // none: the user's desktop
  void SetLanguage(const wchar_t* language);  // none: the user's default language
  void SetLauncher(Launcher launcher, void* user);  // none: the shell
  void SetClock(Clock clock);  // none: time()
  // The release key's public half, 128 hexadecimal digits (none: the one
  // the program was built with).
  void SetPublicKey(const wchar_t* key);
  HttpClient& Http() { return http_; }

private:
  struct Entry;
  static DWORD CheckThread(void* self, DWORD);
  // Collects the "url" child elements of the files node as entries.
  static int CollectEntry(int kind, IXMLDOMNode* node, const wchar_t* name, const wchar_t* text,
                          void* user, XmlDocument* document);
  static int QuestionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT* result, void* user);
  int Ask(WPARAM which);
  // The text at path + "\" + language, else at path + "\en".
  int ReadLocalised(XmlDocument& document, const wchar_t* path, WideString& out);
  void ProgramFolder(WideString& out) const;
  void ProgramFile(WideString& out) const;
  void LanguageName(WideString& out) const;
  int DownloadEntry(Entry& entry, WideString* urlOut, WideString* fileNameOut);
  // 1 when the release key is known, every entry carries its SHA-256 and
  // signature, and no two entries touch the same file.
  int CheckEntries(const std::vector<Entry*>& entries) const;
  int SetAsideEntry(const Entry& entry);
  int PutInPlaceEntry(const Entry& entry);
  // Moves a set-aside file back under its name.
  void RestoreEntry(const Entry& entry);
  // 1 when the entry's named file is the one its download delivered.
  int IsInPlace(const Entry& entry) const;
  int Start(const wchar_t* file, const wchar_t* folder);

  HWND owner_ = nullptr;
  WideString serviceUrl_;
  UINT messageId_ = 0;
  Subclass hook_;
  WideString applicationName_;
  WideString infoText_;
  WideString restartText_;
  WideString helpUrl_;
  WideString runAfterPath_;
  WideString productName_;
  WideString productType_;
  HttpClient http_;
  volatile LONG questionShowing_ = 0;
  volatile LONG stopping_ = 0;
  volatile LONG outcome_ = UpdateCheckNotRun;
  WideString lastCheckName_;
  unsigned flags_ = 0;
  SettingsStore settings_;
  WorkerThread thread_;

  WideString programPath_;
  WideString desktopFolder_;
  WideString language_;
  Launcher launcher_ = nullptr;
  void* launcherUser_ = nullptr;
  Clock clock_ = nullptr;
  WideString publicKey_;
};
