// Where the HTTP client leaves the system's text of a failed open or send,
// for the problem report. The crash reporter implements it; the client only
// knows this interface.
#pragma once

class HttpFailureSink {
public:
  virtual ~HttpFailureSink() = default;
  virtual void SetLastErrorText(const wchar_t* text) = 0;
};
