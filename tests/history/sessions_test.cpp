// Charge sessions and full charges: one definition, its edge cases.
#include "history/sessions.h"

#include "tests/history/history_fixture.h"

namespace {
using namespace px::history;
using px::history::charge_sessions;
using px::history::full_charges;

std::vector<px::history::Sample> plug_cycle() {
  std::vector<px::history::Sample> s;
  s.push_back(sample_at(kEpoch, 30, false));
  s.push_back(sample_at(kEpoch + 100, 31, true));  // plugged
  s.push_back(sample_at(kEpoch + 200, 60, true));
  s.back().watts = 18.5;
  s.push_back(sample_at(kEpoch + 300, 100, true));  // full
  s.push_back(sample_at(kEpoch + 400, 99, false));  // unplugged
  return s;
}

TEST(ChargeSessions, ConnectToDisconnectWithItsFigures) {
  std::vector<px::history::ChargeSession> sessions = charge_sessions(plug_cycle());
  ASSERT_EQ(sessions.size(), 1u);
  const px::history::ChargeSession& c = sessions[0];
  EXPECT_EQ(c.start, kEpoch + 100);
  EXPECT_EQ(c.end, kEpoch + 400);
  EXPECT_EQ(c.start_level, 31);
  EXPECT_EQ(c.end_level, 99);
  EXPECT_EQ(c.mah_added, 15 * 99 - 15 * 31);
  EXPECT_EQ(c.peak_watts, 18.5);
  EXPECT_EQ(c.duration, 300);
}

TEST(ChargeSessions, StillConnectedUnknownStatesAndMissingFigures) {
  std::vector<px::history::Sample> s = plug_cycle();
  px::history::Sample unknown;  // a status without ExternalConnected: neither plugged nor not
  unknown.time = kEpoch + 250;
  s.insert(s.begin() + 3, unknown);
  s.push_back(sample_at(kEpoch + 500, 98, true));
  s.back().raw_capacity.reset();
  s.back().watts.reset();
  std::vector<px::history::ChargeSession> sessions = charge_sessions(s);
  ASSERT_EQ(sessions.size(), 2u) << "the unknown sample neither ends nor splits a session";
  EXPECT_EQ(sessions[0].end, kEpoch + 400);
  const px::history::ChargeSession& open = sessions[1];
  EXPECT_FALSE(open.end) << "a session still going has no end";
  EXPECT_EQ(open.duration, 0);
  EXPECT_FALSE(open.mah_added) << "no raw capacity: no figure, not 0";
  EXPECT_FALSE(open.peak_watts);
  EXPECT_TRUE(charge_sessions({}).empty());
}

TEST(FullCharges, EachReachingOfFullOnce) {
  std::vector<px::history::Sample> s = plug_cycle();
  s.insert(s.begin() + 4, sample_at(kEpoch + 350, 100, true));  // still full: same charge
  std::vector<px::history::Sample> again = plug_cycle();
  for (auto& x : again) x.time += 1000;
  s.insert(s.end(), again.begin(), again.end());
  EXPECT_EQ(full_charges(s), (std::vector<std::int64_t>{kEpoch + 300, kEpoch + 1300}));
  // Without FullyCharged in the status: level 100 on the charger.
  for (auto& x : s) x.full.reset();
  EXPECT_EQ(full_charges(s), (std::vector<std::int64_t>{kEpoch + 300, kEpoch + 1300}));
}

}  // namespace
