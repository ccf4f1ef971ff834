// The simulated tracker, driven through real TrackerLinks and through a
// recording handler: its answers, clock, live totals and how it sends.
#include <gtest/gtest.h>

#include <cstring>

#include "app/simulation/SimulatedTracker.h"
#include "app/tracker/TrackerUpdate.h"
#include "tests/app/tracker/LinkTestSupport.h"

namespace {

const DWORD kAnswered = 10000;
const DWORD kUnanswered = 30;

struct Recorder {
  static void Handler(unsigned length, const unsigned char* data, void* context) {
    Recorder& me = *static_cast<Recorder*>(context);
    SectionLock hold(me.lock);
    me.notifications.emplace_back(data, data + length);
    me.threads.push_back(GetCurrentThreadId());
    // Makes live totals fall due after every other notification.
    bool live = length == LIVE_FRAME_SIZE && data[2] == RSP_LIVE;
    if (me.ticks && !live) me.ticks->Advance(1000);
  }
  size_t Count() {
    SectionLock hold(lock);
    return notifications.size();
  }
  CriticalSection lock;
  std::vector<Bytes> notifications;
  std::vector<DWORD> threads;
  ManualTickSource* ticks = nullptr;
};

// A simulated tracker on a manual tick, and a link attached to it.
struct TrackerRig {
  TrackerRig() {
    tracker.SetTickSource(&ticks);
    Load("clock 2014-06-01 10:00:00\nseed 11\ndays 3\n");
    link.Attach(&tracker);
    link.SendSetUp(kAnswered);  // the tracker answers no history request before it
    link.waits = 0;
  }
  ~TrackerRig() {
    link.Detach();
    BufferClear(response);
  }
  void Load(const char* text) {
    WideString error;
    ASSERT_TRUE(scenario.Parse(text, strlen(text), error)) << error.ToNarrow();
    ASSERT_TRUE(tracker.Configure(scenario));
  }
  int Send(unsigned char command, std::vector<unsigned char> data, unsigned char expected,
           DWORD timeout = kAnswered) {
    return link.SendCommand(command, data.data(), static_cast<unsigned>(data.size()), expected,
                            response, timeout);
  }
  void Advance(unsigned ms) {
    ticks.Advance(ms);
    tracker.Wake();
    ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
  }

  ManualTickSource ticks;
  SimulatedTracker tracker;
  TrackerScenario scenario;
  SteppedLink link;
  ByteBuffer response;
};

struct TrackerFixture : ::testing::Test, TrackerRig {};

void WriteCommand(SimulatedTracker& tracker, std::vector<unsigned char> frame) {
  ASSERT_EQ(1, tracker.WriteValue(frame.data(), static_cast<unsigned>(frame.size())));
}

}  // namespace

TEST_F(TrackerFixture, SetUpCommandsAreAnswered) {
  unsigned char id[HOST_ID_SIZE];
  GetHostId(id);
  std::vector<unsigned char> hostId(id, id + HOST_ID_SIZE);
  EXPECT_EQ(1, Send(CMD_HOST_HELLO, hostId, RSP_HOST_HELLO));
  EXPECT_EQ(Hex("00 07 85 50 45 4C 4C 54 4E"), ToBytes(response));
  EXPECT_EQ(1, Send(CMD_HOST_ID, hostId, RSP_ACK));
  EXPECT_EQ(Hex("00 02 80 14"), ToBytes(response));
  EXPECT_EQ(1, Send(CMD_SETUP, {1}, RSP_ACK));
  EXPECT_EQ(Hex("00 02 80 2B"), ToBytes(response));
}

TEST_F(TrackerFixture, QueriesAnswerWithTheDocumentedFrames) {
  Load("battery 87\nhardware 2.5\nfirmware 1.2.3\nclock 2014-05-31 23:59:58\n");
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY));
  EXPECT_EQ(Hex("00 02 8B 57"), ToBytes(response));
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_VERSIONS}, RSP_VERSION));
  EXPECT_EQ(Hex("00 0C 8C 02 05 31 2E 32 2E 33 00 00 00 00"), ToBytes(response));
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_CLOCK}, RSP_TIME));
  Bytes time = ToBytes(response);
  ASSERT_EQ(10u, time.size());
  EXPECT_EQ(Hex("00 08 8E 0E 05 1F 17 3B 3A"), Bytes(time.begin(), time.begin() + 9));
  EXPECT_EQ(0, Send(CMD_QUERY, {4}, RSP_BATTERY, kUnanswered));  // no such selector
}

TEST_F(TrackerFixture, ClockRunsWithTheTicks) {
  Load("clock 2014-05-31 23:59:58\n");
  ticks.Advance(2000);
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_CLOCK}, RSP_TIME));
  EXPECT_EQ(Hex("0E 06 01 00 00 00"), Bytes(response.data + 3, response.data + 9));
}

TEST_F(TrackerFixture, SetTimeSetsTheClockAndClearsTheHistory) {
  Bytes walking, sleeping;
  tracker.GetHeldHistory(walking, sleeping);
  ASSERT_GT(walking.size(), 24u);
  EXPECT_EQ(1, Send(CMD_SET_TIME, {15, 1, 2, 3, 4, 5, 1}, RSP_ACK));
  EXPECT_EQ(Hex("00 02 80 10"), ToBytes(response));
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_CLOCK}, RSP_TIME));
  EXPECT_EQ(Hex("0F 01 02 03 04 05"), Bytes(response.data + 3, response.data + 9));
  link.historyPeriodMs = kAnswered;
  EXPECT_EQ(1, Send(CMD_HISTORY, {}, RSP_SLEEPING));
  ASSERT_EQ(24u, link.walkingFrame.size);
  ASSERT_EQ(18u, link.sleepingFrame.size);
  EXPECT_EQ(Hex("0F 01 02 03 04 05"), Bytes(link.walkingFrame.data + 7, link.walkingFrame.data + 13));
  EXPECT_EQ(Hex("0F 01 02 03 04 05"), Bytes(link.sleepingFrame.data + 7, link.sleepingFrame.data + 13));
}

TEST_F(TrackerFixture, InvalidTimeIsNotAnsweredAndChangesNothing) {
  EXPECT_EQ(0, Send(CMD_SET_TIME, {14, 2, 30, 0, 0, 0, 1}, RSP_ACK, kUnanswered));
  EXPECT_EQ(0, Send(CMD_SET_TIME, {15, 1, 2, 3, 4, 5, 0}, RSP_ACK, kUnanswered));  // the last byte must be 1
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_CLOCK}, RSP_TIME));
  EXPECT_EQ(Hex("0E 06 01 0A 00 00"), Bytes(response.data + 3, response.data + 9));
}

TEST_F(TrackerFixture, LiveTotalsComeAboutOnceASecondWhileSwitchedOn) {
  MessageWindow window;
  link.ownerWindow = window.Handle();
  Load("live 1000 40 75\nclock 2014-06-01 10:00:00\n");
  EXPECT_EQ(1, Send(CMD_LIVE, {1}, 0));
  EXPECT_EQ(0, link.waits);  // no answer awaited
  ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
  unsigned long long sent = tracker.NotificationsSent();
  EXPECT_EQ(1u, sent);  // the first totals go out at once, nothing else
  EXPECT_GE(link.liveSteps, 1000u);
  EXPECT_LE(link.liveSteps, 1003u);
  WPARAM wParam;
  LPARAM lParam;
  EXPECT_TRUE(window.TakeUpdate(wParam, lParam));

  Advance(999);
  EXPECT_EQ(sent, tracker.NotificationsSent());
  Advance(1);
  EXPECT_EQ(sent + 1, tracker.NotificationsSent());
  EXPECT_TRUE(window.TakeUpdate(wParam, lParam));

  EXPECT_EQ(1, Send(CMD_LIVE, {0}, RSP_ACK));
  EXPECT_EQ(Hex("00 02 80 01"), ToBytes(response));
  sent = tracker.NotificationsSent();
  Advance(5000);
  EXPECT_EQ(sent, tracker.NotificationsSent());
}

TEST_F(TrackerFixture, LiveTotalsGoOutBetweenFramesOnly) {
  Load("clock 2014-06-01 10:00:00\ndays 5\nnotification-size 20\n");
  link.Detach();
  Recorder recorder;
  recorder.ticks = &ticks;  // live totals are due at every step of the download
  ASSERT_TRUE(tracker.SetValueHandler(&Recorder::Handler, &recorder));
  WriteCommand(tracker, {0x00, 0x02, CMD_LIVE, 1});
  WriteCommand(tracker, {0x00, 0x01, CMD_HISTORY});
  ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
  tracker.SetValueHandler(nullptr, nullptr);

  Bytes walking, sleeping, collected;
  tracker.GetHeldHistory(walking, sleeping);
  std::vector<Bytes> frames;
  size_t live = 0;
  for (const Bytes& piece : recorder.notifications) {
    EXPECT_LE(piece.size(), 20u);
    if (piece.size() == 10 && piece[2] == RSP_LIVE) {
      EXPECT_TRUE(collected.empty()) << "live totals inside a frame";
      ++live;
      continue;
    }
    collected.insert(collected.end(), piece.begin(), piece.end());
    if (collected.size() < FRAME_HEADER_SIZE) continue;
    ASSERT_LE(collected.size(), DeclaredFrameSize(collected.data()));
    if (collected.size() == DeclaredFrameSize(collected.data())) {
      frames.push_back(collected);
      collected.clear();
    }
  }
  ASSERT_EQ(2u, frames.size());
  EXPECT_EQ(walking, frames[0]);
  EXPECT_EQ(sleeping, frames[1]);
  EXPECT_GE(live, 2u);  // before, between and after the frames
  for (DWORD thread : recorder.threads) EXPECT_NE(GetCurrentThreadId(), thread);
}

TEST_F(TrackerFixture, AfterUnregisteringNothingIsDelivered) {
  link.Detach();
  Recorder recorder;
  ASSERT_TRUE(tracker.SetValueHandler(&Recorder::Handler, &recorder));
  WriteCommand(tracker, {0x00, 0x02, CMD_QUERY, QUERY_BATTERY});
  ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
  EXPECT_EQ(1u, recorder.Count());
  tracker.SetValueHandler(nullptr, nullptr);
  WriteCommand(tracker, {0x00, 0x02, CMD_QUERY, QUERY_BATTERY});
  ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
  EXPECT_EQ(1u, recorder.Count());
}

TEST_F(TrackerFixture, CommandsStayCorrectWhileLiveTotalsRaceThem) {
  // Another thread keeps live totals falling due while commands come and go.
  struct Pusher {
    ManualTickSource* ticks;
    SimulatedTracker* tracker;
    volatile LONG stop;
    static DWORD WINAPI Run(void* p) {
      Pusher& me = *static_cast<Pusher*>(p);
      while (!InterlockedCompareExchange(&me.stop, 0, 0)) {
        me.ticks->Advance(1000);
        me.tracker->Wake();
        SwitchToThread();
      }
      return 0;
    }
  } pusher = {&ticks, &tracker, 0};
  EXPECT_EQ(1, Send(CMD_LIVE, {1}, 0));
  HANDLE thread = CreateThread(nullptr, 0, &Pusher::Run, &pusher, 0, nullptr);
  ASSERT_TRUE(thread);
  int good = 0;
  for (int i = 0; i < 100; ++i) {
    good += Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY) == 1 && ToBytes(response) == Hex("00 02 8B 50");
  }
  InterlockedExchange(&pusher.stop, 1);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(100, good);
  EXPECT_GT(tracker.NotificationsSent(), 100u);
}

TEST(SimulatedTrackerTest, TwoLinksDownloadAtTheSameTime) {
  TrackerRig rigs[2];
  rigs[0].Load("clock 2014-06-01 10:00:00\nseed 1\ndays 20\nnotification-size 20\n");
  rigs[1].Load("clock 2014-06-01 10:00:00\nseed 2\ndays 20\nnotification-size 1\n");
  struct Download {
    static DWORD WINAPI Run(void* rig) {
      return static_cast<TrackerRig*>(rig)->Send(CMD_HISTORY, {}, RSP_SLEEPING);
    }
  };
  HANDLE threads[2];
  for (int i = 0; i < 2; ++i) threads[i] = CreateThread(nullptr, 0, &Download::Run, &rigs[i], 0, nullptr);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  for (int i = 0; i < 2; ++i) {
    DWORD result = 0;
    GetExitCodeThread(threads[i], &result);
    CloseHandle(threads[i]);
    Bytes walking, sleeping;
    rigs[i].tracker.GetHeldHistory(walking, sleeping);
    EXPECT_EQ(1u, result);
    EXPECT_EQ(walking, ToBytes(rigs[i].link.walkingFrame));
    EXPECT_EQ(sleeping, ToBytes(rigs[i].link.sleepingFrame));
  }
  EXPECT_NE(ToBytes(rigs[0].link.walkingFrame), ToBytes(rigs[1].link.walkingFrame));
}

// --- scenario faults and exact replays ----------------------------------------

TEST_F(TrackerFixture, DroppedResponseTimesOutAndTheNextIsAnswered) {
  Load("drop CMD_QUERY 1\n");
  EXPECT_EQ(0, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY, kUnanswered));
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY));
}

TEST_F(TrackerFixture, LengthFieldThatLiesLosesTheFrame) {
  Load("lie RSP_BATTERY +1 1\nlie RSP_BATTERY -1 1\n");
  EXPECT_EQ(0, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY, kUnanswered));  // waits for a 5th byte
  EXPECT_EQ(0, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY, kUnanswered));  // 4 bytes for 3
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY));
  EXPECT_EQ(Hex("00 02 8B 50"), ToBytes(response));
}

TEST_F(TrackerFixture, LyingWalkingFrameEndsTheHistoryWaitWithoutFrames) {
  Load("clock 2014-06-01 10:00:00\ndays 2\nlie RSP_WALKING 3\n");
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int) { ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered)); };
  EXPECT_EQ(1, Send(CMD_HISTORY, {}, RSP_SLEEPING));
  EXPECT_EQ(2, link.waits);  // data in the first period, none in the second
  EXPECT_EQ(0u, link.walkingFrame.size);
  EXPECT_EQ(0u, link.sleepingFrame.size);
}

TEST_F(TrackerFixture, AnswerToTheWrongCommandIsNotTakenForTheAnswer) {
  Load("wrong CMD_QUERY RSP_ACK 1\n");
  EXPECT_EQ(0, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY, kUnanswered));
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY));
}

TEST_F(TrackerFixture, SilentTrackerAnswersNothingMore) {
  Load("silent 3\n");
  unsigned char id[HOST_ID_SIZE];
  GetHostId(id);
  EXPECT_EQ(1, Send(CMD_HOST_HELLO, std::vector<unsigned char>(id, id + 6), RSP_HOST_HELLO));
  EXPECT_EQ(1, Send(CMD_HOST_ID, std::vector<unsigned char>(id, id + 6), RSP_ACK));
  EXPECT_EQ(1, Send(CMD_SETUP, {1}, RSP_ACK));
  EXPECT_EQ(0, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY, kUnanswered));
  unsigned long long sent = tracker.NotificationsSent();
  EXPECT_EQ(1, Send(CMD_LIVE, {1}, 0));
  Advance(3000);
  EXPECT_EQ(sent, tracker.NotificationsSent());
  EXPECT_EQ(0u, link.liveSteps);
}

TEST_F(TrackerFixture, DelayedAnswerComesWhenItsTimeHasCome) {
  Load("delay CMD_QUERY 5000\n");
  EXPECT_EQ(0, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY, kUnanswered));
  Advance(5000);  // the late answer reaches an idle link and is ignored
  EXPECT_EQ(0u, response.size);
  link.beforeWait = [&](int) {
    ticks.Advance(4999);
    tracker.Wake();
    ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
    EXPECT_EQ(0u, tracker.NotificationsSent());
    ticks.Advance(1);
    tracker.Wake();
  };
  Load("delay CMD_QUERY 5000\n");
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY));
}

TEST_F(TrackerFixture, ExactRepliesAreSentByteForByte) {
  Load("reply CMD_QUERY:2 00 02\nreply CMD_QUERY:2 8B 63\n");
  link.Detach();
  Recorder recorder;
  ASSERT_TRUE(tracker.SetValueHandler(&Recorder::Handler, &recorder));
  WriteCommand(tracker, {0x00, 0x02, CMD_QUERY, QUERY_BATTERY});
  ASSERT_TRUE(tracker.WaitUntilIdle(kAnswered));
  tracker.SetValueHandler(nullptr, nullptr);
  ASSERT_EQ(2u, recorder.notifications.size());
  EXPECT_EQ(Hex("00 02"), recorder.notifications[0]);
  EXPECT_EQ(Hex("8B 63"), recorder.notifications[1]);

  link.Attach(&tracker);
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_BATTERY}, RSP_BATTERY));
  EXPECT_EQ(Hex("00 02 8B 63"), ToBytes(response));
  EXPECT_EQ(1, Send(CMD_QUERY, {QUERY_VERSIONS}, RSP_VERSION));  // other selectors as built
}

TEST_F(TrackerFixture, ExactHistoryFramesReachTheLinkUnchanged) {
  Load("walking 00 1C 83 00000000 0E0601000000 00000000000000 0005 0001 0004 DEADBEEF\n"
       "sleeping 00 12 84 00000000 0E0601000000 00\n"
       "sleeping 55 AA 00000000\n");
  link.historyPeriodMs = kAnswered;
  EXPECT_EQ(1, Send(CMD_HISTORY, {}, RSP_SLEEPING));
  EXPECT_EQ(Hex("00 1C 83 00000000 0E0601000000 00000000000000 0005 0001 0004 DEADBEEF"),
            ToBytes(link.walkingFrame));
  EXPECT_EQ(Hex("00 12 84 00000000 0E0601000000 00 55 AA 00000000"), ToBytes(link.sleepingFrame));
}
