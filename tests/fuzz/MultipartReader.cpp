#include "tests/fuzz/MultipartReader.h"

#include <cstring>

namespace {

bool IsTokenChar(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return c && strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

// qdtext of a quoted string: any byte but control characters, '"' and '\'
// (a tab is allowed).
bool IsQuotedText(unsigned char c) {
  return c == '\t' || (c >= 0x20 && c != 0x7F && c != '"' && c != '\\');
}

bool SameText(const std::string& a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void SkipSpace(const std::string& s, size_t& at) {
  while (at < s.size() && (s[at] == ' ' || s[at] == '\t')) ++at;
}

bool ReadToken(const std::string& s, size_t& at, std::string& token) {
  size_t start = at;
  while (at < s.size() && IsTokenChar(static_cast<unsigned char>(s[at]))) ++at;
  token = s.substr(start, at - start);
  return at > start;
}

bool ReadQuoted(const std::string& s, size_t& at, std::string& value, std::string& error) {
  ++at;  // the opening quote
  value.clear();
  while (at < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[at]);
    if (c == '"') {
      ++at;
      return true;
    }
    if (c == '\\') {
      if (at + 1 >= s.size()) break;
      unsigned char escaped = static_cast<unsigned char>(s[at + 1]);
      if (escaped != '\t' && (escaped < 0x20 || escaped == 0x7F)) {
        error = "a control character escaped in a quoted string";
        return false;
      }
      value.push_back(static_cast<char>(escaped));
      at += 2;
      continue;
    }
    if (!IsQuotedText(c)) {
      error = "a control character in a quoted string";
      return false;
    }
    value.push_back(static_cast<char>(c));
    ++at;
  }
  error = "a quoted string without its closing quote";
  return false;
}

// *( OWS ";" OWS token "=" ( token / quoted-string ) ) OWS, to the end.
bool ReadParameters(const std::string& s, size_t at,
                    std::vector<std::pair<std::string, std::string>>& out, std::string& error) {
  for (;;) {
    SkipSpace(s, at);
    if (at == s.size()) return true;
    if (s[at] != ';') {
      error = "text after a parameter: " + s.substr(at, 40);
      return false;
    }
    ++at;
    SkipSpace(s, at);
    std::string name, value;
    if (!ReadToken(s, at, name) || at >= s.size() || s[at] != '=') {
      error = "a parameter without a name or '='";
      return false;
    }
    ++at;
    if (at < s.size() && s[at] == '"') {
      if (!ReadQuoted(s, at, value, error)) return false;
    } else if (!ReadToken(s, at, value)) {
      error = "a parameter without a value";
      return false;
    }
    for (const auto& seen : out) {
      if (SameText(seen.first, name.c_str())) {
        error = "the parameter " + name + " twice";
        return false;
      }
    }
    out.emplace_back(name, value);
  }
}

// bchars of RFC 2046, 1 to 70 of them, not ending in a space.
bool IsValidBoundary(const std::string& b) {
  if (b.empty() || b.size() > 70 || b.back() == ' ') return false;
  for (unsigned char c : b) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c && strchr("'()+_,-./:=? ", c) != nullptr);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool MultipartReader::ReadHeader(const std::string& line, std::string& boundary, std::string& error) {
  if (line.find_first_of("\r\n") != std::string::npos) {
    error = "a line break in the request header";
    return false;
  }
  const char kName[] = "Content-Type:";
  if (line.size() < sizeof kName - 1 || !SameText(line.substr(0, sizeof kName - 1), kName)) {
    error = "the request header is not Content-Type: " + line.substr(0, 60);
    return false;
  }
  size_t at = sizeof kName - 1;
  SkipSpace(line, at);
  std::string type, subtype;
  if (!ReadToken(line, at, type) || at >= line.size() || line[at] != '/') {
    error = "no media type";
    return false;
  }
  ++at;
  if (!ReadToken(line, at, subtype) || !SameText(type, "multipart") || !SameText(subtype, "form-data")) {
    error = "the media type is not multipart/form-data";
    return false;
  }
  std::vector<std::pair<std::string, std::string>> parameters;
  if (!ReadParameters(line, at, parameters, error)) return false;
  bool found = false;
  for (const auto& p : parameters) {
    if (SameText(p.first, "boundary")) {
      boundary = p.second;
      found = true;
    }
  }
  if (!found) {
    error = "no boundary parameter";
    return false;
  }
  if (!IsValidBoundary(boundary)) {
    error = "the boundary is not 1 to 70 allowed characters: " + boundary;
    return false;
  }
  return true;
}

bool MultipartReader::ReadBody(const std::string& body, const std::string& boundary,
                               std::vector<FormPart>& parts, std::string& error) {
  parts.clear();
  const std::string dash = "--" + boundary;
  const std::string delimiter = "\r\n" + dash;
  if (body == dash + "--\r\n") return true;  // a form without parts
  if (body.compare(0, dash.size() + 2, dash + "\r\n") != 0) {
    error = "the body does not open with the delimiter line";
    return false;
  }
  size_t at = dash.size() + 2;
  for (;;) {
    size_t end = body.find(delimiter, at);
    if (end == std::string::npos) {
      error = "a part without a following delimiter";
      return false;
    }
    FormPart part;
    if (!ReadPart(body.substr(at, end - at), part, error)) {
      error = "part " + std::to_string(parts.size()) + ": " + error;
      return false;
    }
    parts.push_back(part);
    size_t after = end + delimiter.size();
    if (body.compare(after, 2, "--") == 0) {
      if (body.size() != after + 4 || body.compare(after + 2, 2, "\r\n") != 0) {
        error = "bytes after the closing delimiter, or it has no line end";
        return false;
      }
      return true;
    }
    if (body.compare(after, 2, "\r\n") != 0) {
      error = "a delimiter followed by something else than a line end";
      return false;
    }
    at = after + 2;
  }
}

bool MultipartReader::ReadPart(const std::string& text, FormPart& part, std::string& error) {
  size_t at = 0;
  for (;;) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      if (at == text.size()) return true;  // header lines only
      error = "a header line without its line end";
      return false;
    }
    std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.empty()) {
      part.hasBody = true;
      part.content = text.substr(at);
      return true;
    }
    for (unsigned char c : line) {
      if ((c < 0x20 && c != '\t') || c == 0x7F) {
        error = "a control character (a bare CR or LF?) in a header line";
        return false;
      }
    }
    if (line[0] == ' ' || line[0] == '\t') {
      error = "a folded header line";
      return false;
    }
    size_t p = 0;
    std::string name;
    if (!ReadToken(line, p, name) || p >= line.size() || line[p] != ':') {
      error = "a header line that is no header: " + line.substr(0, 60);
      return false;
    }
    ++p;
    SkipSpace(line, p);
    std::string value = line.substr(p);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    for (const auto& seen : part.headers) {
      if (SameText(seen.first, name.c_str())) {
        error = "the header " + name + " twice";
        return false;
      }
    }
    part.headers.emplace_back(name, value);
    if (SameText(name, "Content-Disposition") && !ReadDisposition(value, part, error)) return false;
  }
}

bool MultipartReader::ReadDisposition(const std::string& value, FormPart& part, std::string& error) {
  size_t at = 0;
  if (!ReadToken(value, at, part.disposition)) {
    error = "a Content-Disposition without its type";
    return false;
  }
  if (!ReadParameters(value, at, part.parameters, error)) {
    error = "Content-Disposition: " + error;
    return false;
  }
  return true;
}
