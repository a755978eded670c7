// Replays every committed corpus file through its fuzz entry in the normal
// build, so that each input a fuzzing run found or a bug report supplied
// keeps being checked by `make test`.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "fuzz/entries.h"

namespace {

std::map<std::string, std::function<void(std::string_view)>> entries() {
  std::map<std::string, std::function<void(std::string_view)>> m;
  m["plist"] = px::fuzz::plist_parse;
  m["control"] = px::fuzz::control_message;
  m["specifiers"] = px::fuzz::specifier_list;
#ifdef PX_FUZZ_SETTINGS
  m["settings"] = px::fuzz::settings_file;
#endif
#ifdef PX_FUZZ_PANES
  m["panes"] = px::fuzz::pane_getters;
#endif
#ifdef PX_FUZZ_TRACE
  m["trace"] = px::fuzz::trace_reader;
#endif
#ifdef PX_FUZZ_HISTORY
  m["history"] = px::fuzz::history_store;
#endif
#ifdef PX_FUZZ_FILTER
  m["filter"] = px::fuzz::filter_plist;
#endif
#ifdef PX_FUZZ_WEB
  m["web"] = px::fuzz::web_request;
#endif
#ifdef PX_FUZZ_ENTRIES
  m["entries"] = px::fuzz::loader_entry;
#endif
  return m;
}

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class CorpusReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusReplay, EveryFileGoesThroughItsEntry) {
  auto all = entries();
  auto entry = all.at(GetParam());
  std::filesystem::path dir = std::filesystem::path(PX_FUZZ_CORPUS) / GetParam();
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir << " holds the seeds of this target";
  std::size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    SCOPED_TRACE(e.path().filename().string());
    entry(slurp(e.path()));  // an invariant broken aborts the test binary, naming the file
    ++files;
  }
  EXPECT_GT(files, 0u);
}

std::vector<std::string> target_names() {
  std::vector<std::string> names;
  for (auto& [name, fn] : entries()) names.push_back(name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, ::testing::ValuesIn(target_names()),
                         [](const auto& info) { return info.param; });

}  // namespace
