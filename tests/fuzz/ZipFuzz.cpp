// ZIP archives into the extractor, into a fresh folder each time: entries
// with every kind of name (parent steps, absolute paths, drive letters,
// streams, device names), stored and deflated, broken checks, and bytes
// changed at random. Nothing may land outside the target folder, and an
// archive reported extracted holds exactly the files it names.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ZipExtractor.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/fuzz/FuzzDriver.h"
#include "tests/support/ZipBuilder.h"

namespace {

const char* const kEntryNames[] = {
    "a.txt", "dir/", "dir/b.txt", "dir/sub/c.bin", "../escape.txt", "..\\escape.txt",
    "dir/../../escape.txt", "/pellton-fuzz-escape.txt", "\\pellton-fuzz-escape.txt",
    "C:pellton-fuzz-escape.txt", "C:\\pellton-fuzz-escape.txt", "a.txt:stream", "CON", "nul.txt",
    "dir/./d.txt", "e. ", "f ", "dir//g.txt", "\xC3\xBC.txt", "..", ".", "", "lpt1", "dir\\h.txt",
    "aux.bin/x", "x/..", "x/../y.txt"};

const std::wstring& TempRoot() {
  static TempFolder root(L"fuzz-zip");
  return root.Path();
}

// Every file and folder below a folder, as paths relative to it.
void ListTree(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    out.push_back(prefix + name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListTree(folder + L"\\" + name, prefix + name + L"\\", out);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}


}  // namespace

void GenerateZip(FuzzRandom& random, std::string& input) {
  ZipBuilder zip;
  unsigned entries = random.Below(6);
  for (unsigned i = 0; i < entries; ++i) {
    std::string name = random.OneIn(2) ? kEntryNames[random.Below(6)]
                                        : kEntryNames[random.Below(sizeof kEntryNames / sizeof kEntryNames[0])];
    if (random.OneIn(20)) {
      name.clear();
      for (unsigned k = random.Below(12); k > 0; --k) name.push_back(static_cast<char>(random.Byte()));
    }
    std::string data(random.OneIn(4) ? random.Below(5000) : random.Below(40), 'd');
    for (char& c : data) c = static_cast<char>(random.Below(random.OneIn(2) ? 4 : 256));
    ZipBuilder::Options options;
    options.deflate = random.OneIn(2);
    options.encrypted = random.OneIn(30);
    options.wrongCrc = random.OneIn(20);
    options.zip64Sizes = random.OneIn(30);
    options.utf8 = random.OneIn(4);
    zip.Add(name, data, options);
  }
  if (random.OneIn(10)) zip.SetComment(std::string(random.Below(300), 'c'));
  input = zip.Bytes();
  unsigned edits = random.OneIn(3) ? 1 + random.Below(6) : 0;
  for (unsigned e = 0; e < edits && !input.empty(); ++e) {
    size_t at = random.Below(static_cast<unsigned>(input.size()));
    if (random.OneIn(4)) {
      input.resize(at);
    } else {
      input[at] = static_cast<char>(random.Byte());
    }
  }
}

int CheckZip(const std::string& input, std::string& finding) {
  static unsigned run = 0;
  std::wstring case_folder = TempRoot() + L"\\" + std::to_wstring(++run);
  std::wstring target = case_folder + L"\\target";
  std::wstring archive = case_folder + L"\\archive.zip";
  TempFolder::RemoveTree(case_folder);
  CreateDirectoryW(case_folder.c_str(), nullptr);
  CreateDirectoryW(target.c_str(), nullptr);
  WriteFileText(archive, input);

  int extracted = ExtractZip(archive.c_str(), target.c_str());
  (void)extracted;

  std::vector<std::wstring> beside;
  ListTree(case_folder, L"", beside);
  int ok = 1;
  for (const std::wstring& path : beside) {
    if (path != L"archive.zip" && path != L"target" && path.compare(0, 7, L"target\\") != 0) {
      finding = "an entry landed outside the target folder: " + std::string(path.begin(), path.end());
      ok = 0;
    }
  }
  std::wstring root = TempRoot();
  const wchar_t* escapes[] = {L"\\pellton-fuzz-escape.txt", L"C:\\pellton-fuzz-escape.txt"};
  for (const wchar_t* escape : escapes) {
    if (PathExists(escape)) {
      finding = "an entry landed at an absolute path";
      DeleteFileW(escape);
      ok = 0;
    }
  }
  std::vector<std::wstring> top;
  ListTree(root, L"", top);
  for (const std::wstring& path : top) {
    if (path.find(L'\\') == std::wstring::npos && path != std::to_wstring(run)) {
      finding = "an entry landed beside the case folder: " + std::string(path.begin(), path.end());
      ok = 0;
    }
  }
  // Also in the current folder, where a relative escape from a bad join
  // would end up.
  if (PathExists(L"pellton-fuzz-escape.txt") || PathExists(L"escape.txt")) {
    finding = "an entry landed in the current folder";
    ok = 0;
  }
  TempFolder::RemoveTree(case_folder);
  return ok;
}
