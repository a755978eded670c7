// The table of device commands: what simdevice sends is what the process reads back,
// a value of the wrong type is refused by the table itself, and a verb names one request.

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

TEST(DeviceVerbs, WordsAreReadAsTypedAndRefusedWhenNotOfTheirType) {
  EXPECT_EQ(words_of(SettingsRequest{SetRow{"Clock", "12 Hours"}}), (Words{"set", "Clock", "12 Hours"}));
  // Options anywhere, the later of two wins, and a time typed as several words is one value.
  for (const auto& [typed, read] : std::vector<std::pair<Words, Words>>{
           {{"tick", "--reset", "3"}, {"tick", "3", "--reset"}},
           {{"press", "--alert", "1", "OK", "--alert", "0"}, {"press", "OK", "--alert", "0"}},
           {{"clock", "2026-01-01", "10:00"}, {"clock", "2026-01-01 10:00"}}}) {
    auto request = read_request<SpringBoardRequest>(typed);
    ASSERT_TRUE(request) << typed[0] << ": " << request.message();
    EXPECT_EQ(words_of(*request), read);
  }
  EXPECT_EQ(refusal<SpringBoardRequest>({"tick", "--reset", "3", "7"}), "usage: tick [N] [--reset]");
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
  EXPECT_EQ(refusal<SpringBoardRequest>({"tap", "right"}), "unknown command: tap");
  EXPECT_EQ(refusal<LaunchdRequest>({"press", "OK"}), "unknown command: press");
  EXPECT_EQ(refusal<SettingsRequest>({}), "no command");
}

// Every verb of a process: its name is its own, and its fields match its grammar one for
// one (a field read as the wrong type would throw in the process); its words read back whole.
template <class... Verbs>
void check_table(std::type_identity<std::variant<Verbs...>>) {
  EXPECT_EQ(std::set<std::string_view>{Verbs::verb...}.size(), sizeof...(Verbs));
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
