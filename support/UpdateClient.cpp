#include "support/UpdateClient.h"

#include <shlobj.h>

#include <cwchar>
#include <cwctype>
#include <ctime>
#include <vector>

#include "core/DateTime.h"
#include "core/ModuleVersion.h"
#include "core/ProgramFolder.h"
#include "core/ShellOpen.h"
#include "support/FileHash.h"
#include "support/SystemInfo.h"
#include "support/UpdateAnswer.h"
#include "support/UpdateService.h"
#include "support/ZipExtractor.h"

namespace {

const unsigned kWeek = 604800;
const wchar_t kEnvelopeBase[] = L"Kestran\\Updates\\xml";

int AlwaysYes(int, void*, void*) { return 1; }

int ShellLauncher(const wchar_t* file, const wchar_t* folder, void*) {
  return ShellOpen(file, nullptr, folder, SW_SHOWDEFAULT, 0, L"open");
}

unsigned TimeNow() { return static_cast<unsigned>(time(nullptr)); }

// N without its extension when the last '.' lies within its last four
// characters, else N.
void StemOf(const wchar_t* name, WideString& out) {
  out.Assign(name);
  const wchar_t* dot = wcsrchr(name, L'.');
  size_t length = wcslen(name);
  if (dot && length - static_cast<size_t>(dot - name) <= 4)
    out.Left(static_cast<int>(dot - name));
}

// From the last '.' of the last path segment ('?' ends the search); "" when
// there is none.
void ExtensionOf(const wchar_t* name, WideString& out) {
  out.Assign(L"");
  const wchar_t* dot = nullptr;
  for (const wchar_t* p = name; *p && *p != L'?'; ++p) {
    if (*p == L'\\' || *p == L'/')
      dot = nullptr;
    else if (*p == L'.')
      dot = p;
  }
  if (!dot) return;
  const wchar_t* end = dot;
  while (*end && *end != L'?') ++end;
  out.Assign(dot, static_cast<unsigned>(end - dot));
}

// folder + stem + suffix + extension.
void SideName(const WideString& folder, const wchar_t* name, const wchar_t* suffix,
              WideString& out) {
  WideString stem, extension;
  StemOf(name, stem);
  ExtensionOf(name, extension);
  out.Assign(folder);
  out.Append(stem);
  out.Append(suffix);
  out.Append(extension);
}

// 1 for exactly count hexadecimal digits.
bool IsHexText(const WideString& text, unsigned count) {
  if (text.Length() != count) return false;
  for (unsigned i = 0; i < count; ++i)
    if (!iswxdigit(text.CharAt(static_cast<int>(i)))) return false;
  return true;
}

// The text after the last '/' or '\'.
const wchar_t* LastSegment(const wchar_t* text) {
  const wchar_t* last = text;
  for (const wchar_t* p = text; *p; ++p)
    if (*p == L'/' || *p == L'\\') last = p + 1;
  return last;
}

// Only program files are ever replaced: the answer itself is not signed,
// so a name it gives must not reach the user's data (the database, its
// journal files and the copies set aside beside it).
bool IsProgramFileName(const wchar_t* name) {
  WideString extension;
  ExtensionOf(name, extension);
  for (const wchar_t* allowed : {L".exe", L".dll", L".txt", L".html", L".zip"})
    if (extension.CompareNoCase(allowed) == 0) return true;
  return false;
}

}  // namespace

struct UpdateClient::Entry {
  WideString url;
  WideString name;
  WideString zip;
  WideString sha256;
  WideString signature;
  bool hasName = false;
  bool hasZip = false;
  WideString target;  // where pass 1 saved the download
  DWORD zipSize = 0;   // size and CRC-32 of the named file in the archive
  DWORD zipCrc = 0;
};

UpdateClient::UpdateClient() : hook_(SubclassTagUpdateClient), publicKey_(UpdatePublicKey()) {}

void UpdateClient::SetPublicKey(const wchar_t* key) {
  publicKey_.Assign(key ? key : UpdatePublicKey());
}

void UpdateClient::SetProgramPath(const wchar_t* path) { programPath_.Assign(path ? path : L""); }
void UpdateClient::SetDesktopFolder(const wchar_t* folder) {
  desktopFolder_.Assign(folder ? folder : L"");
}
void UpdateClient::SetLanguage(const wchar_t* language) {
  language_.Assign(language ? language : L"");
}
void UpdateClient::SetLauncher(Launcher launcher, void* user) {
  launcher_ = launcher;
  launcherUser_ = user;
}
void UpdateClient::SetClock(Clock clock) { clock_ = clock; }

int UpdateClient::CheckRunning(DWORD* result) const { return thread_.HasEnded(result) ? 0 : 1; }

void UpdateClient::Setup(const wchar_t* serviceUrl, HWND owner, HKEY root, const wchar_t* keyPath,
                         const wchar_t* lastCheckName, unsigned flags, const wchar_t* productName,
                         const wchar_t* productType) {
  Shutdown();
  InterlockedExchange(&questionShowing_, 0);
  InterlockedExchange(&stopping_, 0);
  InterlockedExchange(&outcome_, UpdateCheckNotRun);
  http_.ResumeRequests();
  serviceUrl_.Assign(serviceUrl ? serviceUrl : L"");
  owner_ = owner;
  lastCheckName_.Assign(lastCheckName ? lastCheckName : L"");
  flags_ = flags;
  productName_.Assign(productName ? productName : L"");
  productType_.Assign(productType ? productType : L"");
  settings_.Close();
  settings_.Open((flags & UpdateIniSettings) ? SettingsIni : SettingsRegistry, root,
                 keyPath ? keyPath : L"");
  if (!lastCheckName_.IsEmpty()) {
    DWORD last = settings_.ReadNumber(lastCheckName_.CStr(), 0);
    unsigned now = clock_ ? clock_() : TimeNow();
    if (last == 0xFFFFFFFF) {
      settings_.WriteNumber(lastCheckName_.CStr(), 0);
      return;
    }
    if (static_cast<unsigned>(last + kWeek) >= now) return;
    // Written before the check, so that a failing check counts too.
    settings_.WriteNumber(lastCheckName_.CStr(), now);
  }
  messageId_ = RegisterWindowMessageW(L"_C_AutoUpdate");
  if (owner_) hook_.AttachSubclass(owner_, QuestionHandler, this);
  if (!(flags & UpdateNoThread)) thread_.Start(CheckThread, this, 0);
}

void UpdateClient::Shutdown() {
  InterlockedExchange(&stopping_, 1);
  // Closing never waits on the network: the request in flight ends now.
  http_.Cancel();
  if (!thread_.HasEnded()) thread_.JoinPumping(0);
  hook_.DetachSubclass();
}

DWORD UpdateClient::CheckThread(void* self, DWORD) {
  return static_cast<DWORD>(static_cast<UpdateClient*>(self)->RunCheck(nullptr, nullptr, nullptr));
}

int UpdateClient::QuestionHandler(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT* result,
                                  void* user) {
  UpdateClient* self = static_cast<UpdateClient*>(user);
  if (message == self->messageId_ && self->messageId_) {
    if (self->stopping_) {
      *result = 0;
      return 1;
    }
    InterlockedExchange(&self->questionShowing_, 1);
    UINT style = MB_YESNO | MB_ICONQUESTION;
    const wchar_t* text = self->restartText_.CStr();
    if (wParam == 0) {
      text = self->infoText_.CStr();
      if (!self->helpUrl_.IsEmpty()) style |= MB_HELP;
    }
    int answer = MessageBoxW(window, text, self->applicationName_.CStr(), style);
    InterlockedExchange(&self->questionShowing_, 0);
    *result = answer == IDYES ? 1 : 0;
    return 1;
  }
  if (message == WM_HELP && self->questionShowing_) {
    // Only web links: the answer decides this text, not the user.
    if (_wcsnicmp(self->helpUrl_.CStr(), L"https://", 8) == 0 ||
        _wcsnicmp(self->helpUrl_.CStr(), L"http://", 7) == 0)
      self->Start(self->helpUrl_.CStr(), nullptr);
    *result = 1;
    return 1;
  }
  return 0;
}

int UpdateClient::Ask(WPARAM which) {
  if (stopping_ || !owner_ || !messageId_) return 0;
  return SendMessageW(owner_, messageId_, which, 0) == 1 ? 1 : 0;
}

void UpdateClient::ProgramFile(WideString& out) const {
  if (!programPath_.IsEmpty()) {
    out.Assign(programPath_);
    return;
  }
  ProgramPath(out);
}

void UpdateClient::ProgramFolder(WideString& out) const {
  ProgramFile(out);
  int slash = out.FindLastChar(L'\\');
  out.Left(slash + 1);
}

void UpdateClient::LanguageName(WideString& out) const {
  if (!language_.IsEmpty()) {
    out.Assign(language_);
    return;
  }
  wchar_t name[16] = {};
  if (GetLocaleInfoW(MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT), LOCALE_SISO639LANGNAME, name,
                     16) > 0 &&
      name[0])
    out.Assign(name);
  else
    out.Assign(L"en");
}

int UpdateClient::ReadLocalised(XmlDocument& document, const wchar_t* path, WideString& out) {
  WideString language, full;
  LanguageName(language);
  IXMLDOMNode* start = nullptr;
  if (flags_ & UpdateEnvelope) start = document.FindOrCreatePath(kEnvelopeBase);
  int found = 0;
  const wchar_t* names[2] = {language.CStr(), L"en"};
  for (const wchar_t* name : names) {
    full.Format(L"%s\\%s", path, name);
    IXMLDOMNode* node = document.FindPath(full.CStr(), start);
    if (node) {
      node->Release();
      found = document.GetValue(full.CStr(), out, start);
      break;
    }
  }
  if (start) start->Release();
  if (!found) out.Assign(L"");
  return found;
}

int UpdateClient::Start(const wchar_t* file, const wchar_t* folder) {
  return launcher_ ? launcher_(file, folder, launcherUser_) : ShellLauncher(file, folder, nullptr);
}

int UpdateClient::DownloadEntry(Entry& entry, WideString* urlOut, WideString* fileNameOut) {
  WideString folder;
  ProgramFolder(folder);
  if (entry.hasName) {
    const wchar_t* download = entry.hasZip ? entry.zip.CStr() : entry.name.CStr();
    if (!IsSafeZipEntryName(download) || !IsSafeZipEntryName(entry.name.CStr())) return 0;
    if (urlOut) {
      if (fileNameOut) fileNameOut->Assign(download);
    } else {
      SideName(folder, download, L"_new", entry.target);
    }
  } else {
    WideString file;
    if (entry.hasZip) {
      file.Assign(entry.zip);
    } else {
      const wchar_t* equals = wcschr(entry.url.CStr(), L'=');
      file.Assign(LastSegment(equals ? equals + 1 : entry.url.CStr()));
    }
    // A single plain file name on the desktop.
    if (!IsSafeZipEntryName(file.CStr()) || wcschr(file.CStr(), L'\\') ||
        wcschr(file.CStr(), L'/'))
      return 0;
    WideString desktop(desktopFolder_);
    if (desktop.IsEmpty()) {
      wchar_t path[MAX_PATH + 1] = {};
      if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOP, FALSE)) return 0;
      desktop.Assign(path);
    }
    entry.target.Format(L"%s\\%s", desktop.CStr(), file.CStr());
    if (!urlOut) runAfterPath_.Assign(entry.target);
  }
  if (urlOut) {
    urlOut->Assign(entry.url);
    return 1;
  }
  if (!http_.HttpDownload(entry.url.CStr(), L"AutoUpdate", entry.target.CStr(), 0, AlwaysYes,
                          nullptr, L"Accept: */*\r\n\r\n", -1, nullptr, -1, 0, nullptr))
    return 0;
  // The hash is what tells a whole download from one the connection cut
  // (a body without a length ends wherever the connection ends); the
  // signature, made with the release key, that it is ours. An archive must
  // hold the file its entry names at the place it names: extracting one
  // that does not would set the file aside and put nothing in its place.
  WideString actual;
  BYTE digest[32];
  if (!Sha256OfFile(entry.target.CStr(), actual, digest) ||
      actual.CompareNoCase(entry.sha256.CStr()) != 0 ||
      !VerifyDigestSignature(digest, publicKey_.CStr(), entry.signature.CStr()) ||
      (entry.hasName && entry.hasZip &&
       !ZipFileEntry(entry.target.CStr(), entry.name.CStr(), &entry.zipSize, &entry.zipCrc))) {
    DeleteFileW(entry.target.CStr());
    return 0;
  }
  return 1;
}

int UpdateClient::CheckEntries(const std::vector<Entry*>& entries) const {
  // Every file an entry touches (the named file, its old-name and the
  // new-name of its download) belongs to that entry alone: a second entry
  // of the same name would delete the first one's old file, the program
  // set aside, in pass 2.
  WideString folder;
  ProgramFolder(folder);
  std::vector<WideString> paths;
  if (!IsHexText(publicKey_, 128)) return 0;  // a build without the release key
  for (const Entry* entry : entries) {
    if (!IsHexText(entry->sha256, 64) || !IsHexText(entry->signature, 128)) return 0;
    if (!entry->hasName) continue;
    if (!IsProgramFileName(entry->name.CStr()) ||
        (entry->hasZip && !IsProgramFileName(entry->zip.CStr())))
      return 0;
    WideString current(folder), old, fresh;
    current.Append(entry->name);
    SideName(folder, entry->name.CStr(), L"_old", old);
    SideName(folder, (entry->hasZip ? entry->zip : entry->name).CStr(), L"_new", fresh);
    for (const WideString* path : {&current, &old, &fresh}) {
      for (const WideString& seen : paths)
        if (seen.CompareNoCase(path->CStr()) == 0) return 0;
      paths.push_back(*path);
    }
  }
  return 1;
}

int UpdateClient::SetAsideEntry(const Entry& entry) {
  if (!entry.hasName) return 1;
  WideString folder, current, old;
  ProgramFolder(folder);
  SideName(folder, entry.name.CStr(), L"_old", old);
  current.Assign(folder);
  current.Append(entry.name);
  DeleteFileW(old.CStr());
  return MoveFileW(current.CStr(), old.CStr()) ? 1 : 0;
}

void UpdateClient::RestoreEntry(const Entry& entry) {
  if (!entry.hasName) return;
  WideString folder, current, old;
  ProgramFolder(folder);
  SideName(folder, entry.name.CStr(), L"_old", old);
  current.Assign(folder);
  current.Append(entry.name);
  // Over whatever pass 3 put there: the old file is the one that works
  // with the other old files.
  MoveFileExW(old.CStr(), current.CStr(), MOVEFILE_REPLACE_EXISTING);
}

int UpdateClient::IsInPlace(const Entry& entry) const {
  if (!entry.hasName) return 1;
  WideString current;
  ProgramFolder(current);
  current.Append(entry.name);
  DWORD attributes = GetFileAttributesW(current.CStr());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  if (entry.hasZip) {
    DWORD crc = 0;
    ULONGLONG size = 0;
    return Crc32OfFile(current.CStr(), &crc, &size) && crc == entry.zipCrc &&
           size == entry.zipSize;
  }
  WideString actual;
  return Sha256OfFile(current.CStr(), actual) && actual.CompareNoCase(entry.sha256.CStr()) == 0;
}

int UpdateClient::PutInPlaceEntry(const Entry& entry) {
  if (!entry.hasName) return 1;
  WideString folder;
  ProgramFolder(folder);
  if (entry.hasZip) {
    WideString archive;
    SideName(folder, entry.zip.CStr(), L"_new", archive);
    int ok = ExtractZip(archive.CStr(), folder.CStr());
    DeleteFileW(archive.CStr());
    return ok;
  }
  WideString fresh, target;
  SideName(folder, entry.name.CStr(), L"_new", fresh);
  target.Assign(folder);
  target.Append(entry.name);
  return MoveFileW(fresh.CStr(), target.CStr()) ? 1 : 0;
}

int UpdateClient::CollectEntry(int kind, IXMLDOMNode* node, const wchar_t* name, const wchar_t*,
                               void* user, XmlDocument* document) {
  if (kind != 0 || _wcsicmp(name, L"url") != 0) return 0;
  auto* entries = static_cast<std::vector<Entry*>*>(user);
  Entry* entry = new Entry();
  document->GetValue(L"#text", entry->url, node);
  entry->url.Trim();
  entry->hasName = document->GetValue(L"name", entry->name, node) != 0;
  entry->hasZip = document->GetValue(L"zip", entry->zip, node) != 0;
  document->GetValue(L"sha256", entry->sha256, node);
  document->GetValue(L"signature", entry->signature, node);
  entry->name.Trim();
  entry->zip.Trim();
  entry->sha256.Trim();
  entry->signature.Trim();
  entry->name.Replace(L"/", L"\\", 1);
  entry->zip.Replace(L"/", L"\\", 1);
  entries->push_back(entry);
  return 0;
}

int UpdateClient::RunCheck(const wchar_t* versionOverride, WideString* urlOut,
                           WideString* fileNameOut) {
  // 1. The local version.
  WideString versionText;
  unsigned major = 1, minor = 1;
  if (versionOverride) {
    if (swscanf(versionOverride, L"%u.%u", &major, &minor) != 2) return 0;
    versionText.Assign(versionOverride);
  } else {
    ModuleVersion version;
    version.major = version.minor = 1;
    FileVersion(nullptr, &version);
    versionText.Assign(version.text);
    major = version.major;
    minor = version.minor;
  }
  major &= 0xFF;
  minor &= 0xFF;
  // 2, 3. The request.
  WideString id, request, language;
  {
    SystemInfo info;
    info.MachineId(SystemInfo::CallerUpdate, id);
  }
  wchar_t separator = serviceUrl_.FindChar(L'?') ? L'&' : L'?';
  if (flags_ & UpdateEnvelope) {
    LanguageName(language);
    request.Format(L"%s%ca=updates&d=0&f=16&l=%s&g=%s&i=<Kestran><Inventory><Item Type=\"%s\" "
                   L"Name=\"%s\" Version=\"%s\" /></Inventory></Kestran>",
                   serviceUrl_.CStr(), separator, language.CStr(), id.CStr(), productType_.CStr(),
                   productName_.CStr(), versionText.CStr());
  } else {
    request.Format(L"%s%cv=%s&id=%s", serviceUrl_.CStr(), separator, versionText.CStr(),
                   id.CStr());
  }
  // 4, 5. The answer, capped and without any DTD.
  WideString answer;
  InterlockedExchange(&outcome_, UpdateCheckNoAnswer);
  if (stopping_ || !http_.HttpGet(request.CStr(), L"AutoUpdate", answer, UpdateAnswerCap + 1,
                                  nullptr, AlwaysYes, nullptr))
    return 0;
  XmlDocument document;
  if (!LoadUpdateAnswer(document, answer)) return 0;
  IXMLDOMNode* start = (flags_ & UpdateEnvelope) ? document.FindOrCreatePath(kEnvelopeBase) : nullptr;
  // 6. The values. The loader decoded the UTF-8 bytes already.
  WideString remoteVersion;
  document.GetValue(L"update\\application", applicationName_, start);
  int ok = ReadLocalised(document, L"update\\info", infoText_);
  document.GetValue(L"update\\help", helpUrl_, start);
  unsigned remoteMajor = 0, remoteMinor = 0;
  if (ok)
    ok = document.GetValue(L"update\\version", remoteVersion, start) &&
         swscanf(remoteVersion.CStr(), L"%u.%u", &remoteMajor, &remoteMinor) == 2;
  // 7. Newer only.
  if (ok) InterlockedExchange(&outcome_, UpdateCheckUpToDate);
  if (ok) ok = remoteMajor > major || (remoteMajor == major && remoteMinor > minor);
  if (ok) InterlockedExchange(&outcome_, UpdateCheckDeclined);
  // 8. Not one the user declined.
  WideString versionName;
  versionName.Format(L"%sVersion", lastCheckName_.CStr());
  if (ok && !lastCheckName_.IsEmpty()) {
    WideString declined;
    settings_.ReadText(versionName.CStr(), declined);
    if (declined.Compare(remoteVersion.CStr()) == 0) ok = 0;
  }
  std::vector<Entry*> entries;
  if (ok) document.EnumerateChildren(L"update\\files", CollectEntry, &entries, start);
  // The update service always sends each file's hash and signature: an
  // answer without them, or naming a file twice, is not offered.
  WideString execute;
  int hasExecute = ok && document.GetValue(L"update\\files\\execute", execute, start);
  if (hasExecute) {
    execute.Trim();
    execute.Replace(L"/", L"\\", 1);
  }
  // The file started after the update is one the update delivered.
  bool executeDelivered = !hasExecute;
  for (const Entry* entry : entries)
    if (hasExecute && entry->hasName && entry->name.CompareNoCase(execute.CStr()) == 0)
      executeDelivered = true;
  // An answer that lists no file to fetch has nothing to offer: asking
  // would end in an update that did nothing.
  if (ok && (entries.empty() || !CheckEntries(entries) || !executeDelivered)) {
    ok = 0;
    InterlockedExchange(&outcome_, UpdateCheckNoAnswer);
  }
  int result = 0;
  int step = 0;
  runAfterPath_.Assign(L"");
  if (ok && urlOut) {
    // 9. Report mode.
    for (Entry* entry : entries) {
      step = DownloadEntry(*entry, urlOut, fileNameOut);
      if (!step) break;
    }
    result = step;
  } else if (ok && Ask(0)) {
    // 11. The three passes; each runs only when the last entry of the one
    // before succeeded.
    for (Entry* entry : entries) {
      step = !stopping_ && DownloadEntry(*entry, nullptr, nullptr);
      if (!step) break;
    }
    size_t setAside = 0;
    for (; step && setAside < entries.size(); ++setAside) {
      step = SetAsideEntry(*entries[setAside]);
      if (!step) break;
    }
    for (size_t i = 0; step && i < entries.size(); ++i) step = PutInPlaceEntry(*entries[i]);
    // Every named file must now be the one its entry delivered (a later
    // archive may have put another over it).
    for (size_t i = 0; step && i < entries.size(); ++i) step = IsInPlace(*entries[i]);
    InterlockedExchange(&outcome_, step ? UpdateCheckInstalled : UpdateCheckFailed);
    // A failed pass 2 or 3 must not leave the folder without a file it had,
    // nor with a mix of old and new ones: everything set aside goes back.
    if (!step)
      for (size_t i = 0; i < setAside; ++i) RestoreEntry(*entries[i]);
    // 12. The restart.
    WideString folder, file;
    ProgramFolder(folder);
    if (!runAfterPath_.IsEmpty()) {
      file.Assign(runAfterPath_);
      folder.Assign(L"");
    } else if (hasExecute && IsSafeZipEntryName(execute.CStr())) {
      file.Assign(folder);
      file.Append(execute);
    } else {
      ProgramFile(file);
    }
    // Never closed for a restart that cannot start anything.
    DWORD attributes = GetFileAttributesW(file.CStr());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) step = 0;
    if (step && ReadLocalised(document, L"update\\restart", restartText_) &&
        (restartText_.IsEmpty() || Ask(1))) {
      // The window is asked to close before the new copy starts: a copy
      // that finds this one's window still shown brings it forward and
      // ends, and nothing would be left running; one that finds it closing
      // waits for it to end and then starts.
      InterlockedExchange(&outcome_, UpdateCheckRestarting);
      PostMessageW(owner_, WM_CLOSE, 0, 0);
      Start(file.CStr(), folder.IsEmpty() ? nullptr : folder.CStr());
      result = 1;
    }
  } else if (ok && !lastCheckName_.IsEmpty() && !stopping_) {
    // 10. Declined: not offered again.
    settings_.WriteText(versionName.CStr(), remoteVersion.CStr());
  }
  for (Entry* entry : entries) delete entry;
  if (start) start->Release();
  return result;
}

void UpdateClient::LastCheckText(WideString& out) {
  out.Assign(L"");
  if (lastCheckName_.IsEmpty()) return;
  DWORD last = settings_.ReadNumber(lastCheckName_.CStr(), 0);
  SYSTEMTIME local;
  if (last == 0 || !FromUnixTime(local, last, 1)) return;
  WideString date, time;
  FormatDate(date, DATE_SHORTDATE, &local, 0);
  FormatTime(time, TIME_NOSECONDS, &local, 0);
  out.Format(L"%s %s", date.CStr(), time.CStr());
}
