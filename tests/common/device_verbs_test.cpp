// The table of device commands: what simdevice sends is what the process reads
// back, a value of the wrong type is refused by the table itself, and a verb
// names one request of each process.

#include "host/common/device_verbs.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace px::host::common::verbs {
namespace {

using Words = std::vector<std::string>;

template <class Request>
std::string refusal(const Words& words) {
  auto request = read_request<Request>(words);
  return request ? std::string("accepted") : request.message();
}

TEST(DeviceVerbs, TypedRequestsTravelAsWordsAndBack) {
  // simdevice's side: a typed request becomes words; the process reads the same request.
  auto press = read_request<SettingsRequest>(words_of(Press{"Close", 2}));
  ASSERT_TRUE(press) << press.message();
  EXPECT_EQ(std::get<Press>(*press).button, "Close");
  EXPECT_EQ(std::get<Press>(*press).alert, 2);
  EXPECT_EQ(words_of(SettingsRequest{SetRow{"Clock", "12 Hours"}}), (Words{"set", "Clock", "12 Hours"}));

  // The process's side: options anywhere, the later of two wins.
  EXPECT_EQ(refusal<SpringBoardRequest>({"tick", "--reset", "3", "7"}), "usage: tick [N] [--reset]");
  auto tick = read_request<SpringBoardRequest>({"tick", "--reset", "3"});
  ASSERT_TRUE(tick);
  EXPECT_EQ(std::get<Tick>(*tick).count, 3);
  EXPECT_TRUE(std::get<Tick>(*tick).reset);
  auto later = read_request<SpringBoardRequest>({"press", "--alert", "1", "OK", "--alert", "0"});
  ASSERT_TRUE(later);
  EXPECT_EQ(std::get<Press>(*later).alert, 0);
  // A time typed as several words is one value.
  auto clock = read_request<SpringBoardRequest>({"clock", "2026-01-01", "10:00"});
  ASSERT_TRUE(clock);
  EXPECT_EQ(std::get<SetClock>(*clock).time, "2026-01-01 10:00");
}

TEST(DeviceVerbs, TheTableRefusesWhatIsNotOfItsType) {
  EXPECT_EQ(refusal<SettingsRequest>({"press", "Close", "--alert", "abc"}),
            "--alert takes a position from 0, not 'abc'");
  for (const char* bad : {"-1", "+1", "1e3", " 1", "1234567890", ""})
    EXPECT_NE(refusal<SpringBoardRequest>({"press", "OK", "--alert", bad}), "accepted") << bad;
  EXPECT_EQ(refusal<SpringBoardRequest>({"press", "OK", "--alert"}), "--alert needs a number");
  EXPECT_EQ(refusal<SpringBoardRequest>({"press"}), "usage: press INDEX|TITLE [--alert N]");
  EXPECT_EQ(refusal<SpringBoardRequest>({"press", "OK", "Cancel"}), "usage: press INDEX|TITLE [--alert N]");
  EXPECT_EQ(refusal<SpringBoardRequest>({"tick", "many"}), "N takes a whole number up to 100000, not 'many'");
  EXPECT_EQ(refusal<SpringBoardRequest>({"tick", "100000"}), "accepted");
  EXPECT_NE(refusal<SpringBoardRequest>({"tick", "100001"}), "accepted");
  EXPECT_EQ(refusal<SettingsRequest>({"set", "Fahrenheit"}), "usage: set ROW VALUE");
  EXPECT_EQ(refusal<LaunchdRequest>({"respring", "now"}), "usage: respring");
  // Each process answers its own verbs only.
  EXPECT_EQ(refusal<SpringBoardRequest>({"tap", "right"}), "unknown command: tap");
  EXPECT_EQ(refusal<LaunchdRequest>({"press", "OK"}), "unknown command: press");
  EXPECT_EQ(refusal<SettingsRequest>({}), "no command");
}

// Every verb of a process: its name is its own, and its fields match its
// grammar one for one (a field read as the wrong type would throw in the process).
template <class... Verbs>
void check_table(std::type_identity<std::variant<Verbs...>>) {
  std::set<std::string_view> names{Verbs::verb...};
  EXPECT_EQ(names.size(), sizeof...(Verbs));
  auto check = []<class Verb>(std::type_identity<Verb>) {
    const Grammar& grammar = Verb::grammar();
    EXPECT_EQ(std::tuple_size_v<decltype(Verb{}.fields())>, grammar.operands.size() + grammar.options.size())
        << Verb::verb;
    Words words{std::string(Verb::verb)};
    for (const auto& operand : grammar.operands)
      if (operand.required) words.emplace_back(operand.type == ArgType::word ? "x" : "1");
    for (const auto& option : grammar.options) {
      words.emplace_back(option.name);
      if (!option.value_name.empty()) words.emplace_back(option.type == ArgType::word ? "x" : "1");
    }
    auto request = read_verb<Verb>({words.begin() + 1, words.end()});
    ASSERT_TRUE(request) << Verb::verb << ": " << request.message();
    EXPECT_EQ(words_of(*request), words) << Verb::verb;
  };
  (check(std::type_identity<Verbs>{}), ...);
}

TEST(DeviceVerbs, EachProcessTableIsWhole) {
  check_table(std::type_identity<SpringBoardRequest>{});
  check_table(std::type_identity<SettingsRequest>{});
  check_table(std::type_identity<LaunchdRequest>{});
}

}  // namespace
}  // namespace px::host::common::verbs
