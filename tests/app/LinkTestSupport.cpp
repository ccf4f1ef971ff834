#include "tests/app/LinkTestSupport.h"

#include <algorithm>
#include <cstring>

#include "app/TrackerUpdate.h"

Bytes Hex(const char* text) {
  Bytes bytes;
  int high = -1;
  for (const char* p = text; *p; ++p) {
    int digit = *p >= '0' && *p <= '9'   ? *p - '0'
                : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10
                : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10
                                         : -1;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<unsigned char>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

Bytes ToBytes(const ByteBuffer& buffer) {
  return Bytes(buffer.data, buffer.data + buffer.size);
}

std::vector<Bytes> Split(const Bytes& frame, std::vector<size_t> sizes) {
  std::vector<Bytes> pieces;
  size_t at = 0;
  for (size_t size : sizes) {
    pieces.emplace_back(frame.begin() + at, frame.begin() + at + size);
    at += size;
  }
  if (at < frame.size()) pieces.emplace_back(frame.begin() + at, frame.end());
  return pieces;
}

std::vector<Bytes> Pieces(const Bytes& frame, size_t size) {
  std::vector<Bytes> pieces;
  for (size_t at = 0; at < frame.size(); at += size) {
    pieces.emplace_back(frame.begin() + at, frame.begin() + std::min(frame.size(), at + size));
  }
  return pieces;
}

void ScriptedCharacteristic::Deliver() {
  std::vector<Bytes> answer;
  answer.swap(written_);
  Notify(answer);
}

void ScriptedCharacteristic::Notify(const std::vector<Bytes>& notifications) {
  for (const Bytes& n : notifications) {
    if (handler_) handler_(static_cast<unsigned>(n.size()), n.data(), context_);
  }
}

int ScriptedCharacteristic::WriteValue(const unsigned char* bytes, unsigned length) {
  writes.emplace_back(bytes, bytes + length);
  if (!writeResult) return 0;
  written_.clear();
  if (!answers_.empty()) {
    written_ = answers_.front();
    answers_.pop_front();
  }
  return 1;
}

int ScriptedCharacteristic::SetValueHandler(ChannelHandler handler, void* context) {
  if (!handler) ++unregistrations;
  handler_ = handler;
  context_ = context;
  return 1;
}

int ScriptedCharacteristic::GetDeviceAddress(unsigned char out[6]) const {
  memcpy(out, address, 6);
  return addressKnown;
}

namespace {

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

MessageWindow::MessageWindow() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = QuietProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"PelltonLinkTestWindow";
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            windowClass.hInstance, nullptr);
}

MessageWindow::~MessageWindow() {
  if (window_) DestroyWindow(window_);
}

int MessageWindow::TakeUpdate(WPARAM& wParam, LPARAM& lParam) {
  MSG message;
  if (!PeekMessageW(&message, window_, WM_TRACKER_UPDATE, WM_TRACKER_UPDATE, PM_REMOVE)) return 0;
  wParam = message.wParam;
  lParam = message.lParam;
  return 1;
}
