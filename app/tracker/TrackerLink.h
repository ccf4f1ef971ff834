// One connected tracker: its characteristic, the command in flight, the last
// history frames it sent and its live totals.
//
// The protocol is one command at a time: SendCommand arms the link with the
// awaited response code, writes the command and waits; OnLinkNotification,
// on the thread that delivers notifications, reassembles responses, keeps
// every complete walking and sleeping frame and, while nothing is armed,
// picks up live totals. Live totals that come inside a history frame are
// kept out of it.
#pragma once

#include <windows.h>

#include "app/tracker/TrackerProtocol.h"
#include "ble/CharacteristicChannel.h"
#include "core/ByteBuffer.h"
#include "core/CriticalSection.h"
#include "core/Event.h"
#include "core/IntrusiveList.h"
#include "core/WideString.h"

class TrackerLink : public ListItem {
public:
  TrackerLink();
  // Unregisters the handler if Attach registered it: the characteristic must
  // still exist then (destroy links before the characteristics they use).
  ~TrackerLink() override;
  TrackerLink(const TrackerLink&) = delete;
  TrackerLink& operator=(const TrackerLink&) = delete;

  // References the characteristic (not owned) and registers
  // OnLinkNotification on it with this link as context. The result of the
  // registration; the characteristic is referenced either way.
  int Attach(CharacteristicChannel* channel);
  // Unregisters the handler; afterwards no notification reaches the link.
  void Detach();

  // Writes one command and waits for the response with the expected code
  // (0: none awaited). The response buffer receives the complete frame.
  // For CMD_HISTORY the wait goes on in periods of historyPeriodMs while
  // bytes of history frames keep arriving (nothing else keeps it going),
  // and the result is 1 once the write succeeded.
  // Called from one thread at a time.
  int SendCommand(unsigned char command, const unsigned char* data, unsigned dataLength,
                  unsigned char expectedResponse, ByteBuffer& response, DWORD timeoutMs);

  // The connect set-up, without which the tracker answers no history
  // request: CMD_HOST_HELLO and CMD_HOST_ID with HostId, then CMD_SETUP
  // with 1, each sent whatever became of the one before. 1 when all three
  // were answered.
  int SendSetUp(DWORD timeoutMs);

  // The characteristic's value-changed handler; context is the link.
  static void OnLinkNotification(unsigned length, const unsigned char* data, void* context);

  // The record, in order.
  WideString displayText;                 // "%s [%s]": device name, address text
  CharacteristicChannel* characteristic = nullptr;
  unsigned char expectedCode = 0;         // 0: nothing armed
  Event responseEvent;                    // auto-reset; set when the awaited frame is complete
  ByteBuffer* pendingResponse = nullptr;  // the caller's buffer while a command is armed
  CriticalSection lock;                   // guards everything from expectedCode on
  ByteBuffer walkingFrame;                // last complete RSP_WALKING frame
  ByteBuffer sleepingFrame;               // last complete RSP_SLEEPING frame
  unsigned liveSteps = 0;
  unsigned liveCalories = 0;
  unsigned liveDistance = 0;              // units of 10 m
  bool liveTotalsArrived = false;         // the totals above came from the tracker

  // Host side settings.
  HWND ownerWindow = nullptr;                 // receives WM_TRACKER_UPDATE; none: no post
  // The worker switched live totals on and has not seen them switched off
  // (its thread only).
  bool liveTotalsOn = false;
  // The tick until which the tracker rests after a download: its next
  // command waits for it (the worker's thread only).
  unsigned long long restUntil = 0;
  // While this event (the owner's, outliving the link) is signalled, waits
  // for answers end at once as if timed out; none: never.
  HANDLE cancelEvent = nullptr;
  DWORD historyPeriodMs = LINK_TIMEOUT_MS;    // one period of the history wait
  unsigned long long historyLimit = HISTORY_LIMIT;

protected:
  // One wait on the response event; 1 when it was set.
  virtual int WaitForResponse(DWORD timeoutMs);

private:
  void Receive(unsigned length, const unsigned char* data);
  void SettleHeldBack(const unsigned* nextLength);
  void Collect(unsigned length, const unsigned char* data);
  void ReceiveLiveTotals(unsigned length, const unsigned char* data);
  int WaitForHistory();
  bool Cancelled() const;

  // Bytes of history frames (walking or sleeping) received since the
  // command was armed; the history wait watches it to see whether the
  // answer is still arriving. Other traffic (live totals, acknowledgements)
  // never counts. historyCountedInFrame_: how many bytes of the frame being
  // collected are already counted.
  unsigned long long historyBytes_ = 0;
  unsigned long long historyCountedInFrame_ = 0;
  // A notification shaped as live totals that came inside a history frame,
  // until the next notification tells whether it ended the frame.
  ByteBuffer heldBack_;
  bool handlerRegistered_ = false;
};
