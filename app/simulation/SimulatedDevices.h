// The simulated trackers of a run with --simulate or --scenario: one
// SimulatedTracker per scenario file (in the order given), then the
// generated ones, all hosted as present LE devices by one simulated GATT
// backend that the tracker worker searches instead of the platform's.
//
// A generated tracker has the default scenario with three weeks of history,
// its own seed and an address of its own (the default address with the
// last byte counted up), so several of them are told apart in the device
// list and in the database.
#pragma once

#include <memory>
#include <vector>

#include "app/simulation/SimulatedTracker.h"
#include "ble/SimulatedGattBackend.h"

class SimulatedDevices {
public:
  static const unsigned GeneratedDays = 21;

  SimulatedDevices() = default;
  SimulatedDevices(const SimulatedDevices&) = delete;
  SimulatedDevices& operator=(const SimulatedDevices&) = delete;

  // Adds a tracker set up by the scenario; 1/0.
  int AddTracker(const TrackerScenario& scenario);
  // Adds a tracker for each scenario (in order), then `generated` trackers
  // with generated history; 1 when all were added.
  int AddTrackers(const std::vector<TrackerScenario>& scenarios, unsigned generated);
  // The scenario of the n-th generated tracker (from 0).
  static void GeneratedScenario(unsigned n, TrackerScenario& scenario);

  GattBackend* Backend() { return &backend_; }
  unsigned Count() const { return static_cast<unsigned>(trackers_.size()); }
  SimulatedTracker* Tracker(unsigned index) {
    return index < trackers_.size() ? trackers_[index].get() : nullptr;
  }

private:
  // The models outlive the backend that hosts them: declared first, they go
  // last.
  std::vector<std::unique_ptr<SimulatedTracker>> trackers_;
  SimulatedGattBackend backend_;
  unsigned generated_ = 0;
};
