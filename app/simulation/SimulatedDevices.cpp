#include "app/simulation/SimulatedDevices.h"

void SimulatedDevices::GeneratedScenario(unsigned n, TrackerScenario& scenario) {
  scenario = TrackerScenario();
  scenario.days = GeneratedDays;
  scenario.seed = n + 1;
  scenario.address[5] = static_cast<unsigned char>(scenario.address[5] + n);
}

int SimulatedDevices::AddTracker(const TrackerScenario& scenario) {
  std::unique_ptr<SimulatedTracker> tracker(new SimulatedTracker());
  if (!tracker->Configure(scenario)) return 0;
  if (!backend_.AddDevice(tracker.get())) return 0;
  trackers_.push_back(std::move(tracker));
  return 1;
}

int SimulatedDevices::AddTrackers(const std::vector<TrackerScenario>& scenarios, unsigned generated) {
  int ok = 1;
  for (const TrackerScenario& scenario : scenarios) {
    if (!AddTracker(scenario)) ok = 0;
  }
  for (unsigned i = 0; i < generated; ++i) {
    TrackerScenario scenario;
    GeneratedScenario(generated_++, scenario);
    if (!AddTracker(scenario)) ok = 0;
  }
  return ok;
}
