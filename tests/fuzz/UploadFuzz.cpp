// The multipart body of the problem-report upload: fields and files into
// the form builder (UploadParts, with no network), with names holding
// quotes, backslashes, line breaks and characters outside the ANSI code
// page, and values and file bytes holding the boundary text, whole
// delimiter lines, CR LF, nothing, or a megabyte. Each part is either
// refused (answer 0, nothing added; only a name that a quoted string cannot
// carry as it is may be refused, and a file name may go out instead with
// '_' for each character it cannot carry), or the finished body, read back
// by the tests' own reader under the boundary the request header
// announces, holds exactly the parts given, in order, byte for byte, and
// the boundary text appears in no part's headers or content.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/UploadParts.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/fuzz/FuzzDriver.h"
#include "tests/fuzz/MultipartReader.h"

namespace {

// Input: parts of [kind][name length][name as UTF-16 pairs][text length,
// two bytes big-endian][text as UTF-16 pairs], and for kind 1 [data
// length, three bytes big-endian][data]. Kind 0 (and 3): a field of that
// name and value; 1: a file of that name holding the data, written by the
// test; 2: a path (under a folder that does not exist) that names no file.
enum Kind { kField = 0, kFile = 1, kMissing = 2 };

struct Op {
  unsigned kind = kField;
  std::wstring name, text;
  std::string data;
};

class InputReader {
public:
  explicit InputReader(const std::string& input) : input_(input) {}
  bool AtEnd() const { return at_ >= input_.size(); }
  unsigned Byte() { return at_ < input_.size() ? static_cast<unsigned char>(input_[at_++]) : 0; }
  std::wstring Units(size_t count) {
    std::wstring text;
    for (size_t i = 0; i < count && at_ + 1 < input_.size(); ++i, at_ += 2)
      text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(input_[at_]) |
                                          (static_cast<unsigned char>(input_[at_ + 1]) << 8)));
    // What the builder sees: a C string.
    return std::wstring(text.c_str());
  }
  std::string Bytes(size_t count) {
    std::string bytes = input_.substr(at_ < input_.size() ? at_ : input_.size(), count);
    at_ += bytes.size();
    return bytes;
  }

private:
  const std::string& input_;
  size_t at_ = 0;
};

const size_t kMaxParts = 12;

std::vector<Op> ReadOps(const std::string& input) {
  std::vector<Op> ops;
  InputReader reader(input);
  while (!reader.AtEnd() && ops.size() < kMaxParts) {
    Op op;
    op.kind = reader.Byte() & 3;
    if (op.kind == 3) op.kind = kField;
    op.name = reader.Units(reader.Byte());
    unsigned length = reader.Byte() << 8;
    length |= reader.Byte();
    op.text = reader.Units(length);
    if (op.kind == kFile) {
      unsigned size = reader.Byte() << 16;
      size |= reader.Byte() << 8;
      size |= reader.Byte();
      op.data = reader.Bytes(size);
    }
    ops.push_back(op);
  }
  return ops;
}

void PutUnits(std::string& input, const std::wstring& text) {
  for (wchar_t c : text) {
    input.push_back(static_cast<char>(c & 0xFF));
    input.push_back(static_cast<char>(c >> 8));
  }
}

const wchar_t kBoundaryText[] = L"-----------------------------1234567890123";

const wchar_t* const kNamePieces[] = {
    L"a", L"p", L"s", L"v", L"g", L"e", L"x", L"d", L"t", L"name", L"\"", L"\\", L"\r\n", L"\r", L"\n",
    L"\t", L";", L"=", L" ", L"filename=", L"\"; filename=\"evil.exe", L"\r\nContent-Type: text/html",
    L"\u00E9", L"\u4E2D", L"\uFF02", L"\uFF3C", L"\u00A5", L"\u02BA", L"\u201C", L"\u2216", L"\xD800",
    L"\xD83D\xDE00", L"%22", L"'", L"\x01", L"\x7F", L"--", kBoundaryText};
const wchar_t* const kFileNamePieces[] = {
    L"crash", L"_Debug", L".dmp", L".txt", L" ", L"\u00E9", L"\u4E2D", L"\uFF02", L";", L"=", L"'",
    L"%", L"#", L"a b", L"\xD83D\xDE00", L"\u00A5", L"\"", L"\r\n", L"-", kBoundaryText};
const wchar_t* const kPathPieces[] = {L"\\", L"/", L"..", L"C:", L"dir", L"x.dmp", L"\"", L"\r\n",
                                      L"\uFF02", L"\u00E9", L"; filename=\"", L"*", L"?", L" "};
// Pieces of values and file bytes: the boundary in every arrangement a
// reader could stumble over, and the one after it.
const char* const kDataPieces[] = {
    "-----------------------------1234567890123",
    "\r\n-------------------------------1234567890123\r\n",
    "\r\n-------------------------------1234567890123--\r\n",
    "\n-------------------------------1234567890123",
    "-------------------------------1234567890123",
    "-----------------------------1234567890124",
    "-----------------------------1234567890125",
    "------------------------------------------------------------",
    "1234567890123", "\r\n", "\r\n\r\n", "\r", "\n", "--", "Content-Disposition: form-data; name=\"x\"\r\n",
    "\"", "%s", "r", "abc", "\xE9", "\xFF", "\x00"};

template <size_t N>
std::wstring Pieces(FuzzRandom& random, const wchar_t* const (&pieces)[N], unsigned count) {
  std::wstring text;
  for (unsigned i = 0; i < count; ++i) {
    if (random.OneIn(6)) {
      text.push_back(static_cast<wchar_t>(random.OneIn(2) ? 0x20 + random.Below(0x60) : 1 + random.Below(0xFFFF)));
    } else {
      text += pieces[random.Below(N)];
    }
  }
  return text;
}

std::string DataBytes(FuzzRandom& random) {
  std::string data;
  unsigned pieces = random.Below(8);
  for (unsigned i = 0; i < pieces; ++i) {
    if (random.OneIn(4)) {
      for (unsigned k = random.Below(40); k > 0; --k) data.push_back(static_cast<char>(random.Byte()));
    } else {
      size_t which = random.Below(sizeof kDataPieces / sizeof kDataPieces[0]);
      if (which + 1 == sizeof kDataPieces / sizeof kDataPieces[0]) {
        data.push_back('\0');
      } else {
        data += kDataPieces[which];
      }
    }
  }
  if (random.OneIn(60)) {
    // A large part, with the boundary somewhere in it.
    std::string large(100000 + random.Below(1000000), 'z');
    for (size_t i = 0; i < large.size(); i += 1 + random.Below(4096)) large[i] = static_cast<char>(random.Byte());
    size_t at = random.Below(static_cast<unsigned>(large.size() - 60));
    large.replace(at, 46, kDataPieces[1]);
    data += large;
  }
  return data;
}

std::wstring Widen(const std::string& bytes) {
  std::wstring text;
  for (unsigned char c : bytes) text.push_back(static_cast<wchar_t>(c));
  return text;
}

// The bytes of a text in the ANSI code page, as the system converts it.
std::string Ansi(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// A name a quoted string cannot carry as it is: '"', '\' or a control
// character (RFC 5234's CTL, so also a tab).
bool Unquotable(const std::string& name) {
  for (unsigned char c : name)
    if (c == '"' || c == '\\' || c < 0x20 || c == 0x7F) return true;
  return false;
}

// A file name only tells the server what the file was called, so instead
// of leaving the file out the builder may send each character whose ANSI
// bytes a quoted string cannot carry as '_'.
std::string Underscored(const std::wstring& name) {
  std::wstring safe;
  for (size_t i = 0; i < name.size();) {
    size_t units = IS_HIGH_SURROGATE(name[i]) && i + 1 < name.size() && IS_LOW_SURROGATE(name[i + 1]) ? 2 : 1;
    std::wstring one = name.substr(i, units);
    std::string bytes = Ansi(one);
    if (bytes.empty() || Unquotable(bytes)) {
      safe.push_back(L'_');
    } else {
      safe += one;
    }
    i += units;
  }
  return Ansi(safe);
}

std::wstring NamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Keeps the paths of the input away from device names (CON, NUL, COM1...),
// which open something else than a file.
std::wstring Tame(const std::wstring& text) {
  static const wchar_t* const kDevices[] = {L"con", L"prn", L"aux", L"nul", L"com", L"lpt"};
  std::wstring out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find_first_of(L"\\/", start);
    std::wstring segment = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    for (const wchar_t* device : kDevices)
      if (segment.size() >= 3 && _wcsnicmp(segment.c_str(), device, 3) == 0) segment.insert(0, L"_");
    out += segment;
    if (end == std::wstring::npos) return out;
    out.push_back(text[end]);
    start = end + 1;
  }
}

const std::wstring& Root() {
  static TempFolder root(L"fuzz-upload");
  return root.Path();
}

struct Expected {
  std::string name;
  bool isFile = false;
  std::string fileName;
  std::string safeFileName;  // what may be sent instead (see Underscored)
  bool hasBody = true;
  std::string content;
};

std::string Show(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes.substr(0, 60)) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return bytes.size() > 60 ? out + "..." : out;
}

const std::string* Parameter(const FormPart& part, const char* name) {
  for (const auto& p : part.parameters)
    if (_stricmp(p.first.c_str(), name) == 0) return &p.second;
  return nullptr;
}

// Compares one part read back with the part given.
bool SamePart(const FormPart& got, const Expected& want, std::string& why) {
  if (_stricmp(got.disposition.c_str(), "form-data") != 0) {
    why = "disposition " + got.disposition;
    return false;
  }
  size_t headers = want.isFile ? 2 : 1;
  if (got.headers.size() != headers) {
    why = std::to_string(got.headers.size()) + " header lines";
    return false;
  }
  if (want.isFile) {
    bool typed = false;
    for (const auto& h : got.headers)
      typed |= _stricmp(h.first.c_str(), "Content-Type") == 0 && h.second == "application/octet-stream";
    if (!typed) {
      why = "no Content-Type: application/octet-stream";
      return false;
    }
  }
  const std::string* name = Parameter(got, "name");
  const std::string* fileName = Parameter(got, "filename");
  if (got.parameters.size() != headers || !name || (want.isFile && !fileName)) {
    why = std::to_string(got.parameters.size()) + " disposition parameters";
    return false;
  }
  if (*name != want.name) {
    why = "name \"" + Show(*name) + "\" instead of \"" + Show(want.name) + "\"";
    return false;
  }
  if (want.isFile && *fileName != want.fileName && *fileName != want.safeFileName) {
    why = "file name \"" + Show(*fileName) + "\" instead of \"" + Show(want.fileName) + "\"";
    return false;
  }
  if (got.hasBody != want.hasBody) {
    why = want.hasBody ? "no content" : "content where the file was not read";
    return false;
  }
  if (got.content != want.content) {
    why = "content of " + std::to_string(got.content.size()) + " bytes \"" + Show(got.content) + "\" instead of " +
          std::to_string(want.content.size()) + " bytes \"" + Show(want.content) + "\"";
    return false;
  }
  return true;
}

// Builds the form of the ops; 1 when every invariant held.
int CheckForm(const std::vector<Op>& ops, UploadParts& parts, std::vector<std::wstring>& written,
              std::string& finding) {
  std::vector<Expected> expected;
  for (size_t i = 0; i < ops.size(); ++i) {
    const Op& op = ops[i];
    const std::string at = "part " + std::to_string(i) + ": ";
    unsigned before = parts.Count();
    Expected want;
    want.name = Ansi(op.name);
    int answer = 0;
    if (op.kind == kField) {
      want.content = Ansi(op.text);
      answer = parts.AddField(op.name.c_str(), op.text.c_str());
      unsigned added = parts.Count() - before;
      if (answer ? added != 1 : added != 0) {
        finding = at + "a field answered " + std::to_string(answer) + " with " + std::to_string(added) + " parts";
        return 0;
      }
      if (!answer && !Unquotable(want.name)) {
        finding = at + "the field \"" + Show(want.name) + "\" was refused";
        return 0;
      }
      if (answer) expected.push_back(want);
      continue;
    }
    std::wstring folder = Root() + L"\\" + std::to_wstring(i);
    std::wstring path;
    bool wrote = false;
    if (op.kind == kFile) {
      CreateDirectoryW(folder.c_str(), nullptr);
      path = folder + L"\\" + Tame(op.text);
      wrote = WriteFileText(path, op.data);
      if (wrote) written.push_back(path);
    } else {
      path = Root() + L"\\none\\" + Tame(op.text);
    }
    want.isFile = true;
    want.fileName = Ansi(NamePart(path));
    want.safeFileName = Unquotable(want.fileName) ? Underscored(NamePart(path)) : want.fileName;
    answer = parts.AddFile(op.name.c_str(), path.c_str());
    unsigned added = parts.Count() - before;
    bool refusable = Unquotable(want.name) || Unquotable(want.fileName);
    if (answer ? added != 3 : (added != 1 && !(added == 0 && refusable))) {
      finding = at + "a file answered " + std::to_string(answer) + " with " + std::to_string(added) + " parts";
      return 0;
    }
    if (wrote && !answer && !refusable) {
      finding = at + "the file \"" + Show(want.fileName) + "\" written by the test was not sent";
      return 0;
    }
    if (added == 0) continue;
    if (answer) {
      if (wrote) {
        want.content = op.data;
      } else if ((want.content = ReadFileText(path)) == "<missing>") {
        finding = at + "a file the test cannot read was sent";
        return 0;
      }
    } else {
      want.hasBody = false;
    }
    expected.push_back(want);
  }

  if (!parts.Finish()) {
    finding = "the form was not finished";
    return 0;
  }
  DWORD total = parts.Total();
  std::string body;
  INTERNET_BUFFERSW* first = parts.First();
  for (INTERNET_BUFFERSW* b = first; b; b = b->Next) {
    if (b->dwBufferLength) body.append(static_cast<const char*>(b->lpvBuffer), b->dwBufferLength);
  }
  for (INTERNET_BUFFERSW* b = first; b; b = b->Next) {
    if (b->dwBufferTotal != body.size() || b->dwStructSize != sizeof(INTERNET_BUFFERSW)) {
      finding = "a descriptor announces " + std::to_string(b->dwBufferTotal) + " bytes of a body of " +
                std::to_string(body.size());
      return 0;
    }
  }
  if (total != body.size()) {
    finding = "the total is " + std::to_string(total) + " for a body of " + std::to_string(body.size());
    return 0;
  }
  if (!first || !first->lpcszHeader || first->dwHeadersLength != first->dwHeadersTotal ||
      first->dwHeadersLength != wcslen(first->lpcszHeader)) {
    finding = "the first descriptor carries no header line of its length";
    return 0;
  }
  std::string header;
  for (DWORD k = 0; k < first->dwHeadersLength; ++k) {
    wchar_t c = first->lpcszHeader[k];
    if (c >= 0x80) {
      finding = "a character outside ASCII in the request header";
      return 0;
    }
    header.push_back(static_cast<char>(c));
  }
  std::string boundary, error;
  std::vector<FormPart> got;
  if (!MultipartReader::ReadHeader(header, boundary, error) ||
      !MultipartReader::ReadBody(body, boundary, got, error)) {
    finding = "the body does not read back: " + error;
    return 0;
  }
  if (got.size() != expected.size()) {
    finding = std::to_string(got.size()) + " parts read back from " + std::to_string(expected.size()) + " given";
    return 0;
  }
  const std::string dash = "--" + boundary;
  for (size_t k = 0; k < got.size(); ++k) {
    std::string why;
    if (!SamePart(got[k], expected[k], why)) {
      finding = "part read back " + std::to_string(k) + ": " + why;
      return 0;
    }
    bool inside = got[k].content.find(dash) != std::string::npos;
    for (const auto& h : got[k].headers) inside |= h.second.find(dash) != std::string::npos;
    if (inside) {
      finding = "part read back " + std::to_string(k) + " holds the delimiter text --" + boundary;
      return 0;
    }
  }
  return 1;
}

}  // namespace

void GenerateUpload(FuzzRandom& random, std::string& input) {
  unsigned count = random.OneIn(20) ? random.Below(kMaxParts + 1) : 1 + random.Below(9);
  for (unsigned i = 0; i < count; ++i) {
    unsigned kind = random.Below(4);
    if (kind == 3) kind = kField;
    std::wstring name = random.OneIn(3) ? std::wstring(kNamePieces[random.Below(9)])
                                        : Pieces(random, kNamePieces, random.Below(4));
    if (name.size() > 255) name.resize(255);
    std::wstring text;
    std::string data;
    if (kind == kField) {
      text = random.OneIn(2) ? Widen(DataBytes(random)) : Pieces(random, kNamePieces, random.Below(6));
      if (random.OneIn(3)) text += Widen(DataBytes(random));
      if (random.OneIn(100)) text.append(20000 + random.Below(40000), L'v');
    } else if (kind == kFile) {
      text = Pieces(random, kFileNamePieces, 1 + random.Below(4));
      data = DataBytes(random);
    } else {
      text = random.OneIn(2) ? Pieces(random, kPathPieces, random.Below(6))
                             : Pieces(random, kFileNamePieces, random.Below(6));
    }
    if (text.size() > 0xFFFF) text.resize(0xFFFF);
    if (data.size() > 0xFFFFFF) data.resize(0xFFFFFF);
    input.push_back(static_cast<char>(kind));
    input.push_back(static_cast<char>(name.size()));
    PutUnits(input, name);
    input.push_back(static_cast<char>(text.size() >> 8));
    input.push_back(static_cast<char>(text.size() & 0xFF));
    PutUnits(input, text);
    if (kind == kFile) {
      input.push_back(static_cast<char>(data.size() >> 16));
      input.push_back(static_cast<char>((data.size() >> 8) & 0xFF));
      input.push_back(static_cast<char>(data.size() & 0xFF));
      input += data;
    }
  }
}

int CheckUpload(const std::string& input, std::string& finding) {
  std::vector<Op> ops = ReadOps(input);
  std::vector<std::wstring> written;
  int ok;
  {
    UploadParts parts;
    ok = CheckForm(ops, parts, written, finding);
  }  // the parts let go of their files first
  for (const std::wstring& path : written) DeleteFileW(path.c_str());
  return ok;
}
