// A tracker in software, faithful to the link protocol: it answers every
// command with the frames a tracker sends, holds a running clock and a
// history, sends live totals about once a second while they are switched
// on, and delivers its notifications on a thread of its own, split into
// pieces of at most the notification size, as a Bluetooth LE peripheral
// does. A scenario (TrackerScenario) sets it up and can make it misbehave.
//
// Like the tracker it answers a history request only once the host has
// introduced itself: CMD_HOST_HELLO, CMD_HOST_ID with the same six bytes and
// CMD_SETUP with 1, in this order (the introduction holds until a new
// CMD_HOST_HELLO begins another). A clock setting whose last byte is not 1
// is not taken. Every command frame written to it is kept for checks. A
// scenario can make the write of a command hang, as a platform call that
// never returns; such a write ends only when the tracker is destroyed.
//
// The demo run and the device tests drive it through a TrackerLink, either
// directly (it is a CharacteristicChannel) or hosted by the simulated GATT
// backend (it is a DeviceModel).
#pragma once

#include <windows.h>

#include <deque>

#include "app/tracker/TickSource.h"
#include "app/simulation/TrackerScenario.h"
#include "ble/DeviceModel.h"
#include "core/CriticalSection.h"
#include "core/KernelHandle.h"

class SimulatedTracker : public DeviceModel {
public:
  static const unsigned LiveIntervalMs = 1000;

  // The default scenario with the PC's clock and the system's ticks.
  SimulatedTracker();
  // Stops the delivery thread and lets a write the scenario holds return;
  // not to be called from inside its handler.
  ~SimulatedTracker() override;
  SimulatedTracker(const SimulatedTracker&) = delete;
  SimulatedTracker& operator=(const SimulatedTracker&) = delete;

  // Takes the scenario's settings: identity, clock, history (generated or
  // given), notification size, delays and faults. Notifications not yet
  // sent are dropped and live totals are switched off. 1 on success.
  int Configure(const TrackerScenario& scenario);

  // The ticks that drive the clock, the answer delays and the live timer
  // (not owned; none: the system's). With a manual tick, call Wake after
  // moving it.
  void SetTickSource(TickSource* ticks);
  void Wake();
  // Waits until nothing is due to be sent at the current tick and the
  // delivery thread rests; 1 when that happened within the time-out.
  int WaitUntilIdle(DWORD timeoutMs);

  // What the tracker holds now.
  void GetHeldHistory(Bytes& walking, Bytes& sleeping) const;
  long long GetClock() const;  // Unix seconds, UTC
  bool IsLiveOn() const;
  unsigned CommandsReceived() const;
  // The command frames written to it, byte for byte, oldest first (the
  // last MaxKeptCommands).
  static const unsigned MaxKeptCommands = 1000;
  std::vector<Bytes> ReceivedCommands() const;
  unsigned long long NotificationsSent() const;

  // CharacteristicChannel
  int WriteValue(const unsigned char* bytes, unsigned length) override;
  int SetValueHandler(ChannelHandler handler, void* context) override;
  int GetDeviceAddress(unsigned char address[6]) const override;
  // DeviceModel
  void GetName(WideString& name) const override;

private:
  struct Outgoing {
    Bytes bytes;
    unsigned long long due;  // tick
    bool continuesUnit;      // a later piece of a frame (or of an exact reply) being sent
  };

  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  int StartThread();
  unsigned long long Ticks() const;

  void HandleCommand(unsigned char command, const unsigned char* data, unsigned dataLength);
  bool BuildAnswer(unsigned char command, const unsigned char* data, unsigned dataLength,
                   std::vector<Bytes>& frames);
  bool BuildFrame(unsigned char code, unsigned char command, std::vector<Bytes>& frames);
  bool TakeFault(ScenarioFault::Kind kind, unsigned char code, int* value);
  const ScenarioReply* FindReply(unsigned char command, const unsigned char* data,
                                 unsigned dataLength) const;
  void Enqueue(const std::vector<Bytes>& notifications, unsigned long long due, bool asOneUnit);
  void MakeLiveFrame(Bytes& frame);
  void ClearHistory();

  // Identity and behaviour from the scenario.
  TrackerScenario scenario_;
  TickSource* ticks_;
  SystemTickSource systemTicks_;

  // State, under stateLock_.
  mutable CriticalSection stateLock_;
  long long clockBase_ = 0;            // Unix seconds at tickBase_
  unsigned long long tickBase_ = 0;
  Bytes walking_;
  Bytes sleeping_;
  HistoryTotals live_;
  unsigned liveAdded_ = 0;             // steps walked since the scenario started
  unsigned liveRandom_ = 1;
  bool liveOn_ = false;
  unsigned long long liveDue_ = 0;
  unsigned commandsReceived_ = 0;
  std::deque<Bytes> received_;
  // Steps of the host's introduction done in order: 1 hello, 2 host id, 3
  // set-up; history is answered at 3.
  unsigned introduction_ = 0;
  unsigned char hostId_[HOST_ID_SIZE] = {};
  unsigned long long notificationsSent_ = 0;
  std::deque<Outgoing> queue_;
  unsigned unitPieces_ = 0;     // pieces of the frame being sent that went out
  bool liveInsideSent_ = false;  // live totals went out after the last of them
  bool stopping_ = false;

  // Delivery, under deliveryLock_ (held while the handler runs).
  CriticalSection deliveryLock_;
  ChannelHandler handler_ = nullptr;
  void* context_ = nullptr;

  KernelHandle thread_;
  KernelHandle wake_;   // auto-reset
  KernelHandle idle_;   // manual-reset: set while nothing is due
  KernelHandle released_;  // manual-reset: ends the writes the scenario holds
};
