// The rows a statement produced, read one current row at a time. The base
// class answers 0 to everything it cannot do itself and builds the typed
// getters and setters on GetValue/SetValue; a result set of a particular
// engine overrides what that engine offers.
//
// Row arguments: only -1, the current row, is accepted by the result sets of
// this program. Variants handed in to be filled must be initialised
// (VariantInit); they are cleared before they are written, and the caller
// clears them after use.
#pragma once

#include <windows.h>
#include <oleauto.h>

class Database;
class WideString;

class ResultSet {
public:
  ResultSet() = default;
  ResultSet(const ResultSet&) = delete;
  ResultSet& operator=(const ResultSet&) = delete;

  // The operations keep this order: derived classes and callers rely on it.
  virtual int Open(Database* database, const wchar_t* sql, int flag);
  virtual ~ResultSet();
  virtual void Close();
  virtual int GetValueByName(int row, const wchar_t* name, VARIANT& value);
  virtual int GetValue(int row, int column, VARIANT& value);
  virtual int SetValue(int row, int column, const VARIANT& value);
  virtual int GetRowCount(int& count);
  virtual int GetColumnCount(int& count);
  virtual int GetColumnName(int column, WideString& name);
  virtual int MoveFirst();
  virtual int MoveLast();
  virtual int MoveNext();
  virtual int MovePrevious();
  virtual int GetIntByName(int row, const wchar_t* name, int& value);
  virtual int GetInt(int row, int column, int& value);
  virtual int GetTextByName(int row, const wchar_t* name, WideString& text);
  virtual int GetText(int row, int column, WideString& text);
  virtual int SetText(int row, int column, const wchar_t* text);
  virtual int SetInt(int row, int column, int value);
};
