// Builds dialog templates in memory, in the classic (DLGTEMPLATE) or the
// extended (DLGTEMPLATEEX) layout, for tests that create real dialogs
// without resources and for tests of template byte transformations.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

class DialogTemplateBuilder {
public:
  // A face of none leaves DS_SETFONT off and writes no font block.
  DialogTemplateBuilder(bool extended, DWORD style, short cx, short cy, const wchar_t* title,
                        const wchar_t* face = L"MS Shell Dlg", WORD points = 8)
      : extended_(extended), style_(face ? style | DS_SETFONT : style & ~DWORD(DS_SETFONT)),
        cx_(cx), cy_(cy), title_(title), face_(face ? face : L""), points_(points) {}

  // The menu as an ordinal, and the window class by name (both none unless
  // set), for templates whose header fields vary in length.
  void SetMenuOrdinal(WORD ordinal) { menuOrdinal_ = ordinal; }
  void SetClassName(const wchar_t* name) { className_ = name; }

  // classAtom: 0x0080 button, 0x0081 edit, 0x0082 static ...
  void AddItem(WORD classAtom, DWORD style, short x, short y, short cx, short cy, WORD id,
               const wchar_t* text) {
    items_.push_back(Item{classAtom, style | WS_CHILD | WS_VISIBLE, x, y, cx, cy, id, text});
  }

  std::vector<BYTE> Build() const {
    std::vector<BYTE> out;
    if (extended_) {
      Word(out, 1);
      Word(out, 0xFFFF);
      Dword(out, 0);  // help id
      Dword(out, 0);  // extended style
      Dword(out, style_);
    } else {
      Dword(out, style_);
      Dword(out, 0);
    }
    Word(out, static_cast<WORD>(items_.size()));
    Word(out, 0);
    Word(out, 0);
    Word(out, static_cast<WORD>(cx_));
    Word(out, static_cast<WORD>(cy_));
    if (menuOrdinal_) {
      Word(out, 0xFFFF);
      Word(out, menuOrdinal_);
    } else {
      Word(out, 0);
    }
    Text(out, className_.c_str());
    Text(out, title_.c_str());
    if (style_ & DS_SETFONT) {
      Word(out, points_);
      if (extended_) {
        Word(out, FW_NORMAL);
        out.push_back(0);  // italic
        out.push_back(DEFAULT_CHARSET);
      }
      Text(out, face_.c_str());
    }
    for (const Item& item : items_) {
      while (out.size() % 4) out.push_back(0);
      if (extended_) {
        Dword(out, 0);  // help id
        Dword(out, 0);
        Dword(out, item.style);
      } else {
        Dword(out, item.style);
        Dword(out, 0);
      }
      Word(out, static_cast<WORD>(item.x));
      Word(out, static_cast<WORD>(item.y));
      Word(out, static_cast<WORD>(item.cx));
      Word(out, static_cast<WORD>(item.cy));
      if (extended_) {
        Dword(out, item.id);
      } else {
        Word(out, item.id);
      }
      Word(out, 0xFFFF);
      Word(out, item.classAtom);
      Text(out, item.text.c_str());
      Word(out, 0);  // no creation data
    }
    return out;
  }

private:
  struct Item {
    WORD classAtom;
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::wstring text;
  };
  static void Word(std::vector<BYTE>& out, WORD w) {
    out.push_back(static_cast<BYTE>(w & 0xFF));
    out.push_back(static_cast<BYTE>(w >> 8));
  }
  static void Dword(std::vector<BYTE>& out, DWORD d) {
    Word(out, static_cast<WORD>(d & 0xFFFF));
    Word(out, static_cast<WORD>(d >> 16));
  }
  static void Text(std::vector<BYTE>& out, const wchar_t* text) {
    for (; *text; ++text) Word(out, static_cast<WORD>(*text));
    Word(out, 0);
  }

  bool extended_;
  DWORD style_;
  short cx_, cy_;
  std::wstring title_;
  std::wstring face_;
  WORD points_;
  WORD menuOrdinal_ = 0;
  std::wstring className_;
  std::vector<Item> items_;
};
