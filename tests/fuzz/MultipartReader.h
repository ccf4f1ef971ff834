// A reader of multipart/form-data bodies written for the tests, apart from
// the code that builds them, and strict on purpose (RFC 2046 and 7578):
// the request header announces a valid boundary; the body opens with the
// first delimiter line and ends with the closing delimiter line and its
// line end, nothing before or after; every delimiter is CR LF "--" and the
// boundary at a line start; a part is header lines, each ended by CR LF
// (no bare CR or LF, no folded lines), then an empty line and the content,
// or only the header lines (a file that could not be read). Parameters of
// Content-Disposition are tokens or quoted strings with their escapes.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct FormPart {
  std::vector<std::pair<std::string, std::string>> headers;  // as sent, names as written
  std::string disposition;                                  // "form-data"
  std::vector<std::pair<std::string, std::string>> parameters;  // decoded
  bool hasBody = false;  // an empty line after the headers
  std::string content;
};

class MultipartReader {
public:
  // The boundary of a header line "Content-Type: multipart/form-data;
  // boundary=..."; false (and why in error) when the line is anything else.
  static bool ReadHeader(const std::string& line, std::string& boundary, std::string& error);
  // The parts of a whole body under the boundary; false (and why) when
  // the body is not a well-formed multipart body.
  static bool ReadBody(const std::string& body, const std::string& boundary,
                       std::vector<FormPart>& parts, std::string& error);

private:
  static bool ReadPart(const std::string& text, FormPart& part, std::string& error);
  static bool ReadDisposition(const std::string& value, FormPart& part, std::string& error);
};
