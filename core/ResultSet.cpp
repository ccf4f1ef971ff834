#include "core/ResultSet.h"

#include "core/WideString.h"

namespace {

// A NULL value reads as 0; anything else is converted the way COM converts.
int VariantToInt(VARIANT& value, int& out) {
  if (value.vt == VT_NULL) {
    out = 0;
    return 1;
  }
  if (value.vt != VT_I4 && FAILED(VariantChangeType(&value, &value, 0, VT_I4))) return 0;
  out = value.lVal;
  return 1;
}

// A NULL value reads as the empty string.
int VariantToText(VARIANT& value, WideString& out) {
  if (value.vt == VT_NULL) return out.Assign(L"");
  if (value.vt != VT_BSTR && FAILED(VariantChangeType(&value, &value, 0, VT_BSTR))) return 0;
  if (!value.bstrVal) return out.Assign(L"");
  return out.Assign(value.bstrVal, SysStringLen(value.bstrVal));
}

}  // namespace

ResultSet::~ResultSet() = default;

int ResultSet::Open(Database*, const wchar_t*, int) { return 0; }

void ResultSet::Close() {}

int ResultSet::GetValueByName(int row, const wchar_t* name, VARIANT& value) {
  if (!name) return 0;
  int count = 0;
  if (!GetColumnCount(count)) return 0;
  WideString columnName;
  for (int column = 0; column < count; ++column) {
    if (GetColumnName(column, columnName) && columnName.CompareNoCase(name) == 0)
      return GetValue(row, column, value);
  }
  return 0;
}

int ResultSet::GetValue(int, int, VARIANT&) { return 0; }

int ResultSet::SetValue(int, int, const VARIANT&) { return 0; }

int ResultSet::GetRowCount(int&) { return 0; }

int ResultSet::GetColumnCount(int&) { return 0; }

int ResultSet::GetColumnName(int, WideString&) { return 0; }

int ResultSet::MoveFirst() { return 0; }

int ResultSet::MoveLast() { return 0; }

int ResultSet::MoveNext() { return 0; }

int ResultSet::MovePrevious() { return 0; }

int ResultSet::GetIntByName(int row, const wchar_t* name, int& value) {
  VARIANT v;
  VariantInit(&v);
  int ok = GetValueByName(row, name, v) && VariantToInt(v, value);
  VariantClear(&v);
  return ok;
}

int ResultSet::GetInt(int row, int column, int& value) {
  VARIANT v;
  VariantInit(&v);
  int ok = GetValue(row, column, v) && VariantToInt(v, value);
  VariantClear(&v);
  return ok;
}

int ResultSet::GetTextByName(int row, const wchar_t* name, WideString& text) {
  VARIANT v;
  VariantInit(&v);
  int ok = GetValueByName(row, name, v) && VariantToText(v, text);
  VariantClear(&v);
  return ok;
}

int ResultSet::GetText(int row, int column, WideString& text) {
  VARIANT v;
  VariantInit(&v);
  int ok = GetValue(row, column, v) && VariantToText(v, text);
  VariantClear(&v);
  return ok;
}

int ResultSet::SetText(int row, int column, const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text ? text : L"");
  if (!v.bstrVal) return 0;
  int ok = SetValue(row, column, v);
  VariantClear(&v);
  return ok;
}

int ResultSet::SetInt(int row, int column, int value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return SetValue(row, column, v);
}
