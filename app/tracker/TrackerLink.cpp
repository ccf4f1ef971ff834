#include "app/tracker/TrackerLink.h"

#include <cstring>
#include <utility>

#include "app/tracker/TrackerAnswers.h"
#include "app/tracker/TrackerUpdate.h"

TrackerLink::TrackerLink() {
  responseEvent.Create(Event::AutoReset, Event::StartsUnsignalled);
}

TrackerLink::~TrackerLink() {
  Detach();
}

int TrackerLink::Attach(CharacteristicChannel* channel) {
  Detach();
  characteristic = channel;
  if (!channel) return 0;
  int registered = channel->SetValueHandler(&TrackerLink::OnLinkNotification, this);
  handlerRegistered_ = registered != 0;
  return registered;
}

void TrackerLink::Detach() {
  if (!handlerRegistered_) return;
  handlerRegistered_ = false;
  if (characteristic) characteristic->SetValueHandler(nullptr, nullptr);
}

int TrackerLink::SendCommand(unsigned char command, const unsigned char* data, unsigned dataLength,
                             unsigned char expectedResponse, ByteBuffer& response, DWORD timeoutMs) {
  if (!characteristic) return 0;
  if (dataLength > COMMAND_DATA_MAX) return 0;  // the length field may not exceed 8
  if (dataLength != 0 && !data) return 0;

  unsigned char frame[COMMAND_FRAME_MAX];
  PutFrameHeader(frame, command, dataLength + FRAME_HEADER_SIZE);
  if (dataLength != 0) memcpy(frame + FRAME_HEADER_SIZE, data, dataLength);

  {
    SectionLock hold(lock);
    expectedCode = expectedResponse;
    BufferClear(response);
    pendingResponse = &response;
    historyBytes_ = 0;
    historyCountedInFrame_ = 0;
    BufferClear(heldBack_);
    // An earlier answer that completed just after its wait had timed out may
    // have left the event set; it must not end this wait.
    responseEvent.Reset();
  }

  int result = 0;
  if (characteristic->WriteValue(frame, dataLength + FRAME_HEADER_SIZE)) {
    if (expectedResponse == 0) {
      result = 1;
    } else if (command == CMD_HISTORY) {
      result = WaitForHistory();
    } else {
      result = WaitForResponse(timeoutMs);
    }
  }

  {
    SectionLock hold(lock);
    if (heldBack_.size) {
      // Nothing came after a notification kept out of a frame: it ended
      // the frame if it fits exactly.
      SettleHeldBack(nullptr);
      if (expectedResponse != 0 && expectedCode == 0) result = 1;
    }
    expectedCode = 0;
    pendingResponse = nullptr;
  }
  return result;
}

int TrackerLink::SendSetUp(DWORD timeoutMs) {
  unsigned char hostId[HOST_ID_SIZE];
  GetHostId(hostId);
  const unsigned char setup = SETUP_VALUE;
  ByteBuffer response;
  int answered = SendCommand(CMD_HOST_HELLO, hostId, HOST_ID_SIZE, RSP_HOST_HELLO, response, timeoutMs);
  answered &= SendCommand(CMD_HOST_ID, hostId, HOST_ID_SIZE, RSP_ACK, response, timeoutMs);
  answered &= SendCommand(CMD_SETUP, &setup, 1, RSP_ACK, response, timeoutMs);
  return answered;
}

// The tracker sends the walking frame and then the sleeping frame; together
// they may take longer than one period, so the wait goes on while bytes of
// history frames keep arriving (a walking frame that completes at the very
// end of a period counts for that period). Live totals and other frames do
// not keep it going: with live totals on they arrive every second whether
// the history comes or not. The wait ends when a whole period brought no
// history bytes, or when more than historyLimit of them have arrived in all
// (a tracker that never stops talking). The caller judges success from the
// frames the link kept.
int TrackerLink::WaitForHistory() {
  if (WaitForResponse(historyPeriodMs)) return 1;
  unsigned long long previous = 0;
  for (;;) {
    if (Cancelled()) break;
    unsigned long long seen;
    {
      SectionLock hold(lock);
      seen = historyBytes_;
    }
    if (seen == previous || seen > historyLimit) break;
    previous = seen;
    if (WaitForResponse(historyPeriodMs)) break;
  }
  return 1;
}

int TrackerLink::WaitForResponse(DWORD timeoutMs) {
  if (!cancelEvent) return responseEvent.Wait(timeoutMs) ? 1 : 0;
  HANDLE events[2] = {responseEvent.Handle(), cancelEvent};
  for (;;) {
    DWORD result = WaitForMultipleObjectsEx(2, events, FALSE, timeoutMs, TRUE);
    if (result == WAIT_IO_COMPLETION) continue;  // an APC ran: wait again
    return result == WAIT_OBJECT_0 ? 1 : 0;
  }
}

bool TrackerLink::Cancelled() const { return cancelEvent && WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0; }

void TrackerLink::OnLinkNotification(unsigned length, const unsigned char* data, void* context) {
  if (!context) return;
  static_cast<TrackerLink*>(context)->Receive(length, data);
}

namespace {

// Live totals always come in one notification of this shape.
bool IsLiveShaped(unsigned length, const unsigned char* data) {
  return IsWholeFrame(data, length, RSP_LIVE) && length == LIVE_FRAME_SIZE;
}

bool IsHistoryCode(unsigned char code) { return code == RSP_WALKING || code == RSP_SLEEPING; }

}  // namespace

void TrackerLink::Receive(unsigned length, const unsigned char* data) {
  if (length != 0 && !data) return;
  SectionLock hold(lock);
  // What follows a notification kept out of a history frame tells what it
  // was; it may end that frame, and the command with it.
  if (heldBack_.size) SettleHeldBack(&length);

  if (!pendingResponse || expectedCode == 0) {
    ReceiveLiveTotals(length, data);
    return;
  }

  ByteBuffer& collected = *pendingResponse;
  // Live totals may come while a history frame is being sent in pieces
  // (the tracker sends them once a second while they are on); appended,
  // they would corrupt the frame. One that comes inside a history frame is
  // kept aside instead. The tracker cuts a frame into pieces of its
  // notification size, so only the last piece can look the same (10 bytes
  // beginning 00 08 81); the next notification, or the end of the wait,
  // tells which it was.
  if (collected.size >= FRAME_HEADER_SIZE && IsHistoryCode(FrameCode(collected.data)) &&
      collected.size < DeclaredFrameSize(collected.data) && IsLiveShaped(length, data)) {
    if (!BufferAppend(heldBack_, data, length)) BufferClear(heldBack_);
    return;
  }
  Collect(length, data);
}

// After a notification was kept out of the frame being collected: it was the
// frame's last piece when it ends the frame exactly and the next
// notification (of *nextLength bytes; none at the end of the wait) would not
// fit; otherwise it was live totals, which an armed link drops.
void TrackerLink::SettleHeldBack(const unsigned* nextLength) {
  ByteBuffer held = std::move(heldBack_);
  if (pendingResponse && expectedCode != 0 && pendingResponse->size >= FRAME_HEADER_SIZE) {
    unsigned long long declared = DeclaredFrameSize(pendingResponse->data);
    bool nextFits = nextLength && pendingResponse->size + *nextLength <= declared;
    if (pendingResponse->size + held.size == declared && !nextFits) {
      Collect(static_cast<unsigned>(held.size), held.data);
    }
  }
}

void TrackerLink::Collect(unsigned length, const unsigned char* data) {
  ByteBuffer& collected = *pendingResponse;
  if (!BufferAppend(collected, data, length)) {
    BufferClear(collected);  // the frame cannot be completed: start again
    historyCountedInFrame_ = 0;
    return;
  }
  if (collected.size < FRAME_HEADER_SIZE) return;

  unsigned long long declared = DeclaredFrameSize(collected.data);
  if (collected.size > declared) {
    // More bytes than the length field announces: the stream is corrupt.
    // Drop what was collected; the next notification starts a new frame.
    BufferClear(collected);
    historyCountedInFrame_ = 0;
    return;
  }
  unsigned char code = FrameCode(collected.data);
  if (IsHistoryCode(code)) {
    // Counted once the code shows the frame is part of a history answer;
    // live totals never reach a history frame, so they do not keep the
    // wait going.
    historyBytes_ += collected.size - historyCountedInFrame_;
    historyCountedInFrame_ = collected.size;
  }
  if (collected.size < declared) return;
  historyCountedInFrame_ = 0;  // the next notification starts a new frame

  // A complete frame. History frames are kept whatever is awaited: the
  // walking frame arrives while the history command waits for the
  // sleeping one.
  if (code == RSP_WALKING) {
    BufferCopy(walkingFrame, collected);
  } else if (code == RSP_SLEEPING) {
    BufferCopy(sleepingFrame, collected);
  }

  if (code == expectedCode) {
    expectedCode = 0;  // the frame stays in the caller's buffer
    responseEvent.Set();
  } else {
    BufferClear(collected);  // not the awaited answer: keep waiting
  }
}

void TrackerLink::ReceiveLiveTotals(unsigned length, const unsigned char* data) {
  LiveTotals totals;
  if (!ParseLiveAnswer(data, length, totals)) return;
  liveSteps = totals.steps;
  liveCalories = totals.calories;
  liveDistance = totals.distance;
  liveTotalsArrived = true;
  if (ownerWindow) PostMessageW(ownerWindow, WM_TRACKER_UPDATE, UpdateLiveTotals, 0);
}
