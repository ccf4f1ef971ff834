// What the result-set base class builds on GetValue and SetValue, seen
// through a result set of one fixed row.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/ResultSet.h"
#include "core/WideString.h"

namespace {

class FixedRow : public ResultSet {
public:
  ~FixedRow() override {
    for (VARIANT& v : values_) VariantClear(&v);
    VariantClear(&lastSet_);
  }
  // Takes over the value.
  FixedRow& Add(const wchar_t* name, VARTYPE type, LONGLONG number = 0, const wchar_t* text = nullptr) {
    names_.push_back(name);
    values_.emplace_back();
    VARIANT& v = values_.back();
    VariantInit(&v);
    v.vt = type;
    if (type == VT_BSTR) v.bstrVal = text ? SysAllocString(text) : nullptr;
    else if (type == VT_I4) v.lVal = static_cast<LONG>(number);
    else if (type == VT_I8) v.llVal = number;
    else if (type == VT_R8) v.dblVal = static_cast<double>(number);
    return *this;
  }

  int GetValue(int row, int column, VARIANT& value) override {
    if (row != -1 || column < 0 || column >= static_cast<int>(values_.size())) return 0;
    VariantClear(&value);
    return SUCCEEDED(VariantCopy(&value, &values_[column])) ? 1 : 0;
  }
  int GetColumnCount(int& count) override {
    count = static_cast<int>(names_.size());
    return 1;
  }
  int GetColumnName(int column, WideString& name) override {
    return column >= 0 && column < static_cast<int>(names_.size()) && name.Assign(names_[column].c_str());
  }
  int SetValue(int row, int column, const VARIANT& value) override {
    lastRow_ = row;
    lastColumn_ = column;
    VariantClear(&lastSet_);
    return SUCCEEDED(VariantCopy(&lastSet_, const_cast<VARIANT*>(&value))) ? 1 : 0;
  }

  std::vector<std::wstring> names_;
  std::vector<VARIANT> values_;
  int lastRow_ = 0, lastColumn_ = 0;
  VARIANT lastSet_ = {};
};

}  // namespace

TEST(ResultSetBase, GetIntConvertsWhatIsNotAnInteger) {
  FixedRow rows;
  rows.Add(L"null", VT_NULL).Add(L"int", VT_I4, -42).Add(L"digits", VT_BSTR, 0, L"123");
  rows.Add(L"word", VT_BSTR, 0, L"abc").Add(L"real", VT_R8, 7).Add(L"big", VT_I8, 0x100000000LL);
  int value = 99;
  EXPECT_EQ(1, rows.GetInt(-1, 0, value));
  EXPECT_EQ(0, value);
  EXPECT_EQ(1, rows.GetInt(-1, 1, value));
  EXPECT_EQ(-42, value);
  EXPECT_EQ(1, rows.GetInt(-1, 2, value));
  EXPECT_EQ(123, value);
  EXPECT_EQ(1, rows.GetInt(-1, 4, value));
  EXPECT_EQ(7, value);
  EXPECT_EQ(0, rows.GetInt(-1, 3, value));  // not a number
  EXPECT_EQ(0, rows.GetInt(-1, 5, value));  // does not fit 32 bits
  EXPECT_EQ(0, rows.GetInt(3, 1, value));   // not the current row
  EXPECT_EQ(7, value);
}

TEST(ResultSetBase, GetTextConvertsWhatIsNotText) {
  FixedRow rows;
  rows.Add(L"null", VT_NULL).Add(L"text", VT_BSTR, 0, L"Schlaf").Add(L"int", VT_I4, -7);
  rows.Add(L"nothing", VT_BSTR).Add(L"object", VT_UNKNOWN);
  WideString text(L"before");
  EXPECT_EQ(1, rows.GetText(-1, 0, text));
  EXPECT_STREQ(L"", text.CStr());
  EXPECT_EQ(1, rows.GetText(-1, 1, text));
  EXPECT_STREQ(L"Schlaf", text.CStr());
  EXPECT_EQ(1, rows.GetText(-1, 2, text));
  EXPECT_STREQ(L"-7", text.CStr());
  EXPECT_EQ(1, rows.GetText(-1, 3, text));
  EXPECT_STREQ(L"", text.CStr());
  text.Assign(L"kept");
  EXPECT_EQ(0, rows.GetText(-1, 4, text));  // no text form
  EXPECT_STREQ(L"kept", text.CStr());
}

TEST(ResultSetBase, ByNameTakesTheFirstColumnOfThatNameIgnoringCase) {
  FixedRow rows;
  rows.Add(L"id", VT_I4, 1).Add(L"Start", VT_I4, 600).Add(L"start", VT_I4, 700);
  rows.Add(L"mac", VT_BSTR, 0, L"AA:BB:CC:DD:EE:FF");
  int value = 0;
  EXPECT_EQ(1, rows.GetIntByName(-1, L"START", value));
  EXPECT_EQ(600, value);
  WideString text;
  EXPECT_EQ(1, rows.GetTextByName(-1, L"MAC", text));
  EXPECT_STREQ(L"AA:BB:CC:DD:EE:FF", text.CStr());
  EXPECT_EQ(0, rows.GetIntByName(-1, L"star", value));
  EXPECT_EQ(0, rows.GetIntByName(-1, nullptr, value));
  EXPECT_EQ(0, rows.GetIntByName(0, L"start", value));
}

TEST(ResultSetBase, SettersHandSetValueAVariant) {
  FixedRow rows;
  EXPECT_EQ(1, rows.SetInt(-1, 3, 1401580800));
  EXPECT_EQ(-1, rows.lastRow_);
  EXPECT_EQ(3, rows.lastColumn_);
  EXPECT_EQ(VT_I4, rows.lastSet_.vt);
  EXPECT_EQ(1401580800, rows.lastSet_.lVal);
  std::wstring source = L"Gehen";
  EXPECT_EQ(1, rows.SetText(-1, 1, source.c_str()));
  ASSERT_EQ(VT_BSTR, rows.lastSet_.vt);
  EXPECT_STREQ(L"Gehen", rows.lastSet_.bstrVal);
}
