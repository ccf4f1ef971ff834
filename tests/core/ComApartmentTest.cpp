// The COM apartment holder initialises a thread once and ends only what it
// started. Each case runs on a thread of its own so that the apartment
// state it leaves behind cannot leak into other tests.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <thread>

#include "core/ComApartment.h"

namespace {
void OnOwnThread(const std::function<void()>& body) {
  std::thread worker(body);
  worker.join();
}

// Whether the thread is in a single-threaded apartment, without changing
// it: asking for the multithreaded one is refused only then.
bool InSingleThreadedApartment() {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == RPC_E_CHANGED_MODE;
}

// Whether the thread has any COM initialisation left.
bool ComInitialised() {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr != S_OK;
}
}  // namespace

TEST(ComApartment, InitialisesASingleThreadedApartmentAndEndsIt) {
  OnOwnThread([] {
    ComApartment apartment;
    ASSERT_EQ(1, apartment.Init());
    EXPECT_TRUE(apartment.Initialised());
    EXPECT_TRUE(InSingleThreadedApartment());
    EXPECT_EQ(1, apartment.Init());  // a second Init does not count twice
    apartment.End();
    EXPECT_FALSE(apartment.Initialised());
    EXPECT_FALSE(ComInitialised());
  });
}

TEST(ComApartment, DestructionEndsTheApartment) {
  OnOwnThread([] {
    { ComApartment apartment;
      ASSERT_EQ(1, apartment.Init()); }
    EXPECT_FALSE(ComInitialised());
  });
}

TEST(ComApartment, LeavesAnotherApartmentModelAlone) {
  OnOwnThread([] {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    {
      ComApartment apartment;
      EXPECT_EQ(1, apartment.Init());  // COM is usable, but not this holder's
      EXPECT_FALSE(apartment.Initialised());
      apartment.End();
    }
    EXPECT_TRUE(ComInitialised());
    CoUninitialize();
  });
}

TEST(ComApartment, BalancesAnInitialisationOfTheSameModel) {
  OnOwnThread([] {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ComApartment apartment;
    EXPECT_EQ(1, apartment.Init());
    apartment.End();
    EXPECT_TRUE(InSingleThreadedApartment());  // the thread's own one stays
    CoUninitialize();
    EXPECT_FALSE(ComInitialised());
  });
}
