#include "support/UpdateAnswer.h"

int IsAcceptableUpdateAnswer(const WideString& answer) {
  if (answer.Length() > UpdateAnswerCap) return 0;
  if (answer.FindNoCase(L"<!DOCTYPE") || answer.FindNoCase(L"<!ENTITY")) return 0;
  return 1;
}

int LoadUpdateAnswer(XmlDocument& document, const WideString& answer) {
  if (!IsAcceptableUpdateAnswer(answer)) return 0;
  return document.Create(0x3) && document.LoadText(answer.CStr());
}
