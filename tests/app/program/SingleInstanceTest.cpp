// One Pellton per database folder: the claim is held by the copy that took
// it, any spelling of its folder meets it, another folder is free, and a
// copy that ended without giving it up (a crash) leaves it free, and a
// second start waits for the holder's shown window or for the claim. A mutex
// belongs to a thread, so the "other copy" here is another thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "app/program/SingleInstance.h"
#include "tests/common/TempFolder.h"

namespace {

struct OtherCopy {
  const wchar_t* folder = nullptr;
  bool giveUp = true;   // false: end as a crashed copy would, claim kept
  HANDLE claimed = nullptr;  // set once the claim has been tried
  HANDLE finish = nullptr;   // the copy ends when this is set
  SingleInstance::ClaimResult result = SingleInstance::ClaimFailed;
  SingleInstance* kept = nullptr;
};

DWORD WINAPI RunOtherCopy(void* context) {
  OtherCopy& copy = *static_cast<OtherCopy*>(context);
  SingleInstance* instance = new SingleInstance;
  copy.result = instance->Claim(copy.folder);
  SetEvent(copy.claimed);
  WaitForSingleObject(copy.finish, INFINITE);
  if (copy.giveUp) {
    delete instance;
  } else {
    copy.kept = instance;  // the thread ends owning the mutex: it is abandoned
  }
  return 0;
}

class OtherCopyThread {
public:
  OtherCopyThread(const wchar_t* folder, bool giveUp) {
    copy_.folder = folder;
    copy_.giveUp = giveUp;
    copy_.claimed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    copy_.finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, RunOtherCopy, &copy_, 0, nullptr);
  }
  ~OtherCopyThread() {
    End();
    delete copy_.kept;
    CloseHandle(copy_.claimed);
    CloseHandle(copy_.finish);
  }
  SingleInstance::ClaimResult WaitClaimed() {
    WaitForSingleObject(copy_.claimed, INFINITE);
    return copy_.result;
  }
  void End() {
    if (!thread_) return;
    SetEvent(copy_.finish);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  bool Started() const { return thread_ != nullptr; }

private:
  OtherCopy copy_;
  HANDLE thread_ = nullptr;
};

// The claim of a copy run by another account (another user, or with
// administrator rights): a mutex of the folder's name whose security lets
// this account do nothing with it, not even wait.
class OtherAccountClaim {
public:
  explicit OtherAccountClaim(const wchar_t* name) {
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &security, nullptr)) return;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security, FALSE};
    mutex_ = CreateMutexW(&attributes, TRUE, name);
    LocalFree(security);
  }
  ~OtherAccountClaim() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  bool Made() const { return mutex_ != nullptr; }

private:
  HANDLE mutex_ = nullptr;
};

}  // namespace

TEST(SingleInstanceTest, TheFolderIsHeldForEverySpellingUntilGivenUpAndAnotherFolderIsFree) {
  TempFolder folder(L"single held");
  TempFolder other(L"single other");
  OtherCopyThread first(folder.Path().c_str(), true);
  ASSERT_TRUE(first.Started());
  ASSERT_EQ(SingleInstance::Claimed, first.WaitClaimed());

  std::wstring upper = folder.Path();
  CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
  for (const std::wstring& spelling : {folder.Path(), folder.Path() + L"\\", upper, folder.Path() + L"\\.\\"}) {
    SingleInstance second;
    EXPECT_EQ(SingleInstance::RunningElsewhere, second.Claim(spelling.c_str())) << spelling.c_str();
  }
  SingleInstance elsewhere;
  EXPECT_EQ(SingleInstance::Claimed, elsewhere.Claim(other.Path().c_str()));

  first.End();
  SingleInstance after;
  EXPECT_EQ(SingleInstance::Claimed, after.Claim(folder.Path().c_str()));
}

TEST(SingleInstanceTest, ACopyThatEndedWithoutGivingTheClaimUpLeavesTheFolderFree) {
  TempFolder folder(L"single crashed");
  OtherCopyThread crashed(folder.Path().c_str(), false);
  ASSERT_TRUE(crashed.Started());
  ASSERT_EQ(SingleInstance::Claimed, crashed.WaitClaimed());
  {
    SingleInstance whileRunning;
    EXPECT_EQ(SingleInstance::RunningElsewhere, whileRunning.Claim(folder.Path().c_str()));
  }
  crashed.End();
  SingleInstance next;
  EXPECT_EQ(SingleInstance::Claimed, next.Claim(folder.Path().c_str()));
  // And it is really held again: yet another copy is kept out.
  OtherCopyThread third(folder.Path().c_str(), true);
  ASSERT_TRUE(third.Started());
  EXPECT_EQ(SingleInstance::RunningElsewhere, third.WaitClaimed());
}

TEST(SingleInstanceTest, AWaitingSecondStartGetsTheShownWindowOrTheClaimOnceTheHolderEnds) {
  TempFolder folder(L"single wait");
  OtherCopyThread first(folder.Path().c_str(), false);
  ASSERT_TRUE(first.Started());
  ASSERT_EQ(SingleInstance::Claimed, first.WaitClaimed());
  SingleInstance second;
  ASSERT_EQ(SingleInstance::RunningElsewhere, second.Claim(folder.Path().c_str()));
  EXPECT_EQ(0, second.HeldByAnotherAccount());

  // The holder's marked window, still hidden (starting, or closing), is no
  // answer: the wait ends with the claim held and no window.
  HWND window = CreateWindowExW(0, L"STATIC", L"first", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(SetPropW(window, second.PropertyName(), reinterpret_cast<HANDLE>(1)));
  HWND found = window;
  EXPECT_EQ(SingleInstance::RunningElsewhere, second.WaitForRunning(200, &found));
  EXPECT_EQ(nullptr, found);
  EXPECT_EQ(0, second.Held());

  // Shown, it is the answer.
  ShowWindow(window, SW_SHOWNA);
  EXPECT_EQ(SingleInstance::RunningElsewhere, second.WaitForRunning(10000, &found));
  EXPECT_EQ(window, found);

  // Its window gone, the holder ends without giving the claim up: the
  // waiting start gets it.
  DestroyWindow(window);
  first.End();
  EXPECT_EQ(SingleInstance::Claimed, second.WaitForRunning(10000, &found));
  EXPECT_EQ(nullptr, found);
  EXPECT_EQ(1, second.Held());
  OtherCopyThread third(folder.Path().c_str(), true);
  ASSERT_TRUE(third.Started());
  EXPECT_EQ(SingleInstance::RunningElsewhere, third.WaitClaimed());
}

TEST(SingleInstanceTest, AClaimOfAnotherAccountIsToldApartAndItsWindowIsLookedForThroughTheWholeWait) {
  TempFolder folder(L"single account");
  SingleInstance probe;
  ASSERT_EQ(SingleInstance::Claimed, probe.Claim(folder.Path().c_str()));
  std::wstring name = probe.MutexName();
  probe.Release();
  OtherAccountClaim other(name.c_str());
  ASSERT_TRUE(other.Made());

  SingleInstance second;
  ASSERT_EQ(SingleInstance::RunningElsewhere, second.Claim(folder.Path().c_str()));
  EXPECT_EQ(1, second.HeldByAnotherAccount());
  EXPECT_EQ(0, second.Held());
  // Its claim cannot be waited on, but its window (a copy started as
  // administrator shows it on this desktop) may still be opening: the wait
  // looks for it for the whole time given instead of ending at once.
  HWND found = reinterpret_cast<HWND>(static_cast<INT_PTR>(-1));
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(SingleInstance::RunningElsewhere, second.WaitForRunning(300, &found));
  EXPECT_GE(GetTickCount64() - start, 300u);
  EXPECT_EQ(nullptr, found);

  HWND window = CreateWindowExW(0, L"STATIC", L"other account", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(SetPropW(window, second.PropertyName(), reinterpret_cast<HANDLE>(1)));
  ShowWindow(window, SW_SHOWNA);
  EXPECT_EQ(SingleInstance::RunningElsewhere, second.WaitForRunning(10000, &found));
  EXPECT_EQ(window, found);
  DestroyWindow(window);
  EXPECT_EQ(0, second.Held());
}
