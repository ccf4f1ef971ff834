// TrackerLink against scripted characteristics: byte-exact command frames,
// reassembly, the discard rules, the history wait and live totals. The
// scripted answer reaches the link while its command is armed, from inside
// the link's wait.
#include <gtest/gtest.h>

#include "app/simulation/SimulatedTracker.h"
#include "app/tracker/TrackerLink.h"
#include "app/simulation/TrackerScenario.h"
#include "app/tracker/TrackerUpdate.h"
#include "tests/app/tracker/LinkTestSupport.h"

namespace {

const DWORD kAnswered = 10000;  // never reached when the answer comes
const DWORD kUnanswered = 1;

const unsigned char kQueryBattery[] = {QUERY_BATTERY};
const Bytes kLive = Hex("00 08 81 01 01 02 01 2C 00 7B");

struct LinkFixture : ::testing::Test {
  LinkFixture() {
    link.Attach(&channel);
    link.beforeWait = [this](int wait) {
      if (wait == 1) channel.Deliver();
    };
  }
  ~LinkFixture() override {
    link.Detach();
    BufferClear(response);
  }
  int QueryBattery(DWORD timeout = kAnswered) {
    return link.SendCommand(CMD_QUERY, kQueryBattery, 1, RSP_BATTERY, response, timeout);
  }
  int History() { return link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, 0); }

  ScriptedCharacteristic channel;
  SteppedLink link;
  ByteBuffer response;
};

void TwoFrames(unsigned seed, Bytes& walking, Bytes& sleeping) {
  ASSERT_TRUE(TrackerHistoryGenerator(seed).Generate(1401580800LL + 86399, 2, walking, sleeping));
}

}  // namespace

// --- command frames -------------------------------------------------------

TEST_F(LinkFixture, SevenDataBytesMakeATenByteFrameWithLength0008) {
  const unsigned char time[7] = {14, 5, 31, 23, 59, 58, SET_TIME_CONSTANT};
  channel.AddAnswer({Hex("00 02 80 10")});
  EXPECT_EQ(1, link.SendCommand(CMD_SET_TIME, time, 7, RSP_ACK, response, kAnswered));
  ASSERT_EQ(1u, channel.writes.size());
  EXPECT_EQ(Hex("00 08 10 0E 05 1F 17 3B 3A 01"), channel.writes[0]);
  EXPECT_EQ(Hex("00 02 80 10"), ToBytes(response));
}

TEST_F(LinkFixture, EightDataBytesAreRefusedWithoutWriting) {
  const unsigned char data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  BufferAppend(response, "kept", 4);
  EXPECT_EQ(0, link.SendCommand(CMD_SET_TIME, data, 8, RSP_ACK, response, kAnswered));
  EXPECT_TRUE(channel.writes.empty());
  EXPECT_EQ(4u, response.size);  // the caller's buffer is not touched
  EXPECT_EQ(0, link.waits);
}

TEST(TrackerLinkTest, LinkWithoutCharacteristicFails) {
  TrackerLink link;
  ByteBuffer response;
  EXPECT_EQ(0, link.SendCommand(CMD_QUERY, kQueryBattery, 1, RSP_BATTERY, response, kUnanswered));
}

TEST_F(LinkFixture, FailedWriteReturnsZeroWithoutWaitingOrStayingArmed) {
  channel.writeResult = 0;
  EXPECT_EQ(0, QueryBattery());
  EXPECT_EQ(0, link.waits);
  channel.Notify({kLive});  // an idle link takes live totals
  EXPECT_EQ(65794u, link.liveSteps);
}

TEST_F(LinkFixture, LiveOnReturnsAtOnceWithoutWaiting) {
  const unsigned char on = 1;
  EXPECT_EQ(1, link.SendCommand(CMD_LIVE, &on, 1, 0, response, kAnswered));
  EXPECT_EQ(0, link.waits);
  EXPECT_EQ(Hex("00 02 01 01"), channel.writes.at(0));
}

// --- reassembly -------------------------------------------------------------

TEST_F(LinkFixture, ResponseSplitTwoPlusOnePlusRestIsReassembled) {
  const unsigned char selector = QUERY_VERSIONS;
  Bytes version = Hex("00 0C 8C 01 02 31 2E 32 2E 33 00 00 00 00");
  channel.AddAnswer(Split(version, {2, 1}));
  EXPECT_EQ(1, link.SendCommand(CMD_QUERY, &selector, 1, RSP_VERSION, response, kAnswered));
  EXPECT_EQ(version, ToBytes(response));
}

TEST_F(LinkFixture, FirstNotificationOfTwoBytesWaitsForMore) {
  // After 00 02 the code byte is still missing: the link must keep
  // collecting rather than judge the frame.
  link.beforeWait = [&](int) { channel.Notify({Hex("00 02")}); };
  EXPECT_EQ(0, QueryBattery(kUnanswered));
  EXPECT_EQ(Hex("00 02"), ToBytes(response));  // what an abandoned wait leaves

  link.beforeWait = [&](int) { channel.Notify({Hex("00 02"), Hex("8B"), Hex("50")}); };
  EXPECT_EQ(1, QueryBattery());
  EXPECT_EQ(Hex("00 02 8B 50"), ToBytes(response));
}

TEST_F(LinkFixture, FiveBytesForFourAreDiscardedAsAWhole) {
  channel.AddAnswer({Hex("00 02 8B 50 00")});
  EXPECT_EQ(0, QueryBattery(kUnanswered));
  EXPECT_EQ(0u, response.size);
}

TEST_F(LinkFixture, AfterADiscardTheNextNotificationStartsANewFrame) {
  // FF FF declares (0xFFFF + 2) modulo 65536 = 1 byte: also too many.
  channel.AddAnswer({Hex("00 02 8B 50 00"), Hex("FF FF 8B"), Hex("00 02 8B 4B")});
  EXPECT_EQ(1, QueryBattery());
  EXPECT_EQ(Hex("00 02 8B 4B"), ToBytes(response));
}

TEST_F(LinkFixture, UnexpectedCompleteFrameIsDiscardedAndTheWaitGoesOn) {
  channel.AddAnswer({Hex("00 02 80 0A"), Hex("00 02 8B 50")});
  EXPECT_EQ(1, QueryBattery());
  EXPECT_EQ(Hex("00 02 8B 50"), ToBytes(response));
}

TEST_F(LinkFixture, LiveNotificationDuringACommandIsDropped) {
  MessageWindow window;
  link.ownerWindow = window.Handle();
  channel.AddAnswer({kLive, Hex("00 02 8B 50")});
  EXPECT_EQ(1, QueryBattery());
  EXPECT_EQ(Hex("00 02 8B 50"), ToBytes(response));
  EXPECT_EQ(0u, link.liveSteps);
  WPARAM wParam;
  LPARAM lParam;
  EXPECT_FALSE(window.TakeUpdate(wParam, lParam));
}

TEST_F(LinkFixture, AnswerCompletingAfterTheTimeOutDoesNotEndTheNextWait) {
  // The answer completes after the wait ran out but before the link
  // disarms; its signal must not be taken for the next command's answer.
  channel.AddAnswer({Hex("00 02 8B 50")});
  link.beforeWait = nullptr;
  link.afterWait = [&](int wait) {
    if (wait == 1) channel.Deliver();
  };
  EXPECT_EQ(0, QueryBattery(kUnanswered));
  EXPECT_EQ(0, QueryBattery(kUnanswered));  // never answered
  EXPECT_EQ(0u, response.size);
}

// --- history frames and the history wait -------------------------------------

TEST_F(LinkFixture, WalkingFrameIsKeptWhileTheSleepingFrameIsAwaited) {
  Bytes walking, sleeping;
  TwoFrames(5, walking, sleeping);
  std::vector<Bytes> answer = Pieces(walking, 20);
  for (const Bytes& piece : Pieces(sleeping, 20)) answer.push_back(piece);
  channel.AddAnswer(answer);
  EXPECT_EQ(1, History());
  EXPECT_EQ(Hex("00 01 03"), channel.writes.at(0));
  EXPECT_EQ(sleeping, ToBytes(response));
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(sleeping, ToBytes(link.sleepingFrame));
  EXPECT_EQ(1, link.waits);
}

TEST_F(LinkFixture, HistoryFramesAreKeptWhateverIsAwaited) {
  Bytes walking = Hex("00 1C 83 00000000 0E 06 01 00 00 00 00000000000000 0005 0001 0004 00000000");
  channel.AddAnswer({walking, Hex("00 02 8B 50")});
  EXPECT_EQ(1, QueryBattery());
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(0u, link.sleepingFrame.size);
}

TEST_F(LinkFixture, HistoryWithNoAnswerReturnsOneAfterOneQuietPeriod) {
  link.historyPeriodMs = 1;
  EXPECT_EQ(1, History());
  EXPECT_EQ(1, link.waits);
}

TEST_F(LinkFixture, HistoryWaitGoesOnWhileDataKeepsArriving) {
  Bytes walking, sleeping;
  TwoFrames(9, walking, sleeping);
  std::vector<Bytes> parts[3] = {Pieces(Bytes(walking.begin(), walking.begin() + 100), 20),
                                 Pieces(Bytes(walking.begin() + 100, walking.end()), 20),
                                 Pieces(sleeping, 20)};
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int wait) { channel.Notify(parts[wait - 1]); };  // a part per period
  EXPECT_EQ(1, History());
  EXPECT_EQ(3, link.waits);
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(sleeping, ToBytes(response));
}

TEST_F(LinkFixture, HistoryWaitEndsWhenAPeriodBringsNothing) {
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int wait) {
    if (wait == 1) channel.Notify({Hex("00 30 83 00 00 00 00")});
  };
  EXPECT_EQ(1, History());
  EXPECT_EQ(2, link.waits);
  EXPECT_EQ(0u, link.walkingFrame.size);
}

TEST_F(LinkFixture, HistoryWaitGivesUpAfterOneMebibyte) {
  // A tracker that never stops sending history frames must not hold the
  // worker for ever: a complete walking frame of 65,528 bytes every period.
  Bytes endless(65528, 0);
  endless[0] = 0xFF;
  endless[1] = 0xF6;
  endless[2] = RSP_WALKING;
  std::vector<Bytes> chunk = Pieces(endless, 512);
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int) { channel.Notify(chunk); };
  EXPECT_EQ(1, History());
  EXPECT_EQ(17, link.waits);  // 17 x 65,528 bytes are the first to pass 1,048,576
  EXPECT_EQ(endless, ToBytes(link.walkingFrame));
}

TEST_F(LinkFixture, LiveTotalsDoNotKeepAnUnansweredHistoryWaitAlive) {
  // Live totals on and the history answer lost: a live frame arrives in
  // every period, but only history bytes show that the answer is coming.
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int wait) {
    if (wait <= 50) channel.Notify(std::vector<Bytes>(3, kLive));
  };
  EXPECT_EQ(1, History());
  EXPECT_EQ(1, link.waits);  // as if nothing had come at all
  EXPECT_EQ(0u, link.liveSteps);  // dropped while the command was armed
}

TEST_F(LinkFixture, AcknowledgementsDoNotKeepTheHistoryWaitAliveEither) {
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int wait) {
    if (wait <= 50) channel.Notify({Hex("00 02 80 03"), Hex("00 02 8B")});  // and a frame cut short
  };
  EXPECT_EQ(1, History());
  EXPECT_EQ(1, link.waits);
}

TEST_F(LinkFixture, WalkingFrameCompletingAtTheEndOfAPeriodKeepsTheWaitForTheSleepingFrame) {
  // The walking frame completes just before the first period runs out; the
  // wait must go on for the sleeping frame, which comes in the next period
  // with live totals before it.
  Bytes walking, sleeping;
  TwoFrames(11, walking, sleeping);
  link.historyPeriodMs = 1;
  link.beforeWait = nullptr;
  link.afterWait = [&](int wait) {
    if (wait == 1) channel.Notify(Pieces(walking, 20));
    if (wait == 2) {
      std::vector<Bytes> answer(2, kLive);
      for (const Bytes& piece : Pieces(sleeping, 20)) answer.push_back(piece);
      channel.Notify(answer);
    }
  };
  EXPECT_EQ(1, History());
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(sleeping, ToBytes(response));
  EXPECT_EQ(3, link.waits);  // the third wait finds the event set
}

TEST_F(LinkFixture, AStalledHistoryFrameEndsTheWait) {
  // The walking frame's first bytes arrive, then nothing more of it, only
  // live totals: the wait ends one period later.
  link.historyPeriodMs = 1;
  link.beforeWait = [&](int wait) {
    if (wait == 1) channel.Notify({Hex("00 30 83 00 00 00 00")});
    else if (wait <= 50) channel.Notify({kLive});
  };
  EXPECT_EQ(1, History());
  EXPECT_EQ(2, link.waits);
}

TEST_F(LinkFixture, OtherNotificationsDuringTheHistoryWaitAreSortedOut) {
  // Between the two frames: live totals and an acknowledgement, complete
  // frames that are not awaited.
  Bytes walking, sleeping;
  TwoFrames(3, walking, sleeping);
  std::vector<Bytes> answer = Pieces(walking, 20);
  answer.insert(answer.end(), 50, kLive);
  answer.push_back(Hex("00 02 80 03"));
  for (const Bytes& piece : Pieces(sleeping, 20)) answer.push_back(piece);
  channel.AddAnswer(answer);
  EXPECT_EQ(1, History());
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(sleeping, ToBytes(link.sleepingFrame));
  EXPECT_EQ(0u, link.liveSteps);
}

TEST_F(LinkFixture, AFramesLastPieceThatLooksLikeLiveTotalsStillEndsTheFrame) {
  // Settled by the next frame's first piece, and by the end of the wait.
  const Bytes walking = Hex("00 1C 83 1111111111111111111111111111111111 0008810102030405 0607");
  const Bytes sleeping = Hex("00 1C 84 1111111111111111111111111111111111 0008810102030405 0607");
  channel.AddAnswer({Bytes(walking.begin(), walking.begin() + 20), Bytes(walking.begin() + 20, walking.end()),
                     Bytes(sleeping.begin(), sleeping.begin() + 20), Bytes(sleeping.begin() + 20, sleeping.end())});
  link.historyPeriodMs = 1;
  EXPECT_EQ(1, History());
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(sleeping, ToBytes(response));
}

// --- live totals -------------------------------------------------------------

TEST_F(LinkFixture, LiveTotalsOnAnIdleLinkAreStoredAndPosted) {
  MessageWindow window;
  ASSERT_TRUE(window.Handle());
  link.ownerWindow = window.Handle();
  channel.Notify({kLive});
  EXPECT_EQ(65794u, link.liveSteps);
  EXPECT_EQ(300u, link.liveCalories);
  EXPECT_EQ(123u, link.liveDistance);
  WPARAM wParam = 0;
  LPARAM lParam = 1;
  ASSERT_TRUE(window.TakeUpdate(wParam, lParam));
  EXPECT_EQ(static_cast<WPARAM>(UpdateLiveTotals), wParam);
  EXPECT_EQ(0, lParam);
  EXPECT_FALSE(window.TakeUpdate(wParam, lParam));
}

TEST_F(LinkFixture, OtherUnsolicitedNotificationsAreIgnored) {
  MessageWindow window;
  link.ownerWindow = window.Handle();
  channel.Notify({Hex("00 09 81 01 01 02 01 2C 00 7B 00"), Hex("00 08 80 01 01 02 01 2C 00 7B"),
                  Hex("00 08 81 01 01 02 01 2C 00")});
  EXPECT_EQ(0u, link.liveSteps);
  WPARAM wParam;
  LPARAM lParam;
  EXPECT_FALSE(window.TakeUpdate(wParam, lParam));
}

TEST(TrackerLinkTest, DestroyingTheLinkUnregistersItsHandler) {
  ScriptedCharacteristic channel;
  {
    TrackerLink link;
    link.Attach(&channel);
  }
  EXPECT_EQ(1, channel.unregistrations);
  channel.Notify({kLive});  // reaches nobody
}

TEST(TrackerLinkHistoryTest, ALostHistoryAnswerWithLiveTotalsOnEndsAfterOneQuietPeriod) {
  // The simulated tracker loses the history answer and sends live totals
  // every second; with 1.5 s periods each period sees a live frame, which
  // must not keep the wait going.
  const char text[] = "clock 2014-06-01 10:00:00\ndays 1\ndrop CMD_HISTORY\n";
  TrackerScenario scenario;
  WideString error;
  ASSERT_TRUE(scenario.Parse(text, sizeof text - 1, error));
  SimulatedTracker tracker;
  ASSERT_TRUE(tracker.Configure(scenario));
  SteppedLink link;
  link.Attach(&tracker);
  ASSERT_EQ(1, link.SendSetUp(kAnswered));
  link.waits = 0;
  link.historyPeriodMs = 1500;
  ByteBuffer response;
  const unsigned char on = 1;
  ASSERT_EQ(1, link.SendCommand(CMD_LIVE, &on, 1, 0, response, kAnswered));
  ASSERT_EQ(1, link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, 0));
  EXPECT_EQ(1, link.waits);
  EXPECT_EQ(0u, link.walkingFrame.size);
  link.Detach();
  BufferClear(response);
}
