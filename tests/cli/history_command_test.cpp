// simdevice history over a store written as the tweak writes it: the CSV and
// JSON the user exports, the time range, the sessions, the forecast, and the
// answers for a store that is missing, damaged, or asked for wrongly.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/cli/command_table.h"
#include "platform/sim/device_clock.h"
#include "shared/names.h"
#include "tests/history/history_fixture.h"

namespace {
using namespace px::history;
using px::host::cli::Caller;
using px::host::cli::run_command;

class HistoryCommand : public HistoryTest {
 protected:
  void SetUp() override {
    px::platform::sim::set_device_now(static_cast<double>(kEpoch + 3600));
    px::history::HistoryWriter writer;
    px::history::Sample plugged = sample_at(kEpoch + 60, 31, true);
    plugged.watts = 12.5;
    px::history::Sample sparse;
    sparse.time = kEpoch + 200;
    sparse.level = 40;
    for (const px::history::Sample& s : {sample_at(kEpoch, 30), plugged, sample_at(kEpoch + 120, 35, true), sparse,
                                         sample_at(kEpoch + 300, 40, false)})
      writer.record(s, kEpoch + 3600);
  }
};

TEST_F(HistoryCommand, CsvHasTheHeaderIsoTimesAndEmptyAbsentValues) {
  px::host::cli::CommandResult r = run_command({"history", "--csv"}, Caller::terminal);
  ASSERT_EQ(r.status, 0) << r.error;
  std::istringstream lines(r.output);
  std::string header, first, second, third, fourth;
  std::getline(lines, header);
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, third);
  std::getline(lines, fourth);
  EXPECT_EQ(header,
            "time,level,charging,external,full,raw_capacity,max_capacity,design_capacity,cycles,temperature,voltage,"
            "amperage,watts");
  EXPECT_EQ(first, "2026-01-01T00:00:00Z,30,0,0,0,450,1500,1560,100,3050,3830,-300,");
  EXPECT_EQ(second, "2026-01-01T00:01:00Z,31,1,1,0,465,1500,1560,100,3050,3831,900,12.5");
  EXPECT_EQ(fourth, "2026-01-01T00:03:20Z,40,,,,,,,,,,,") << "absent is empty, never 0";
}

TEST_F(HistoryCommand, RangeAndJson) {
  px::host::cli::CommandResult r =
      run_command({"history", "--since", "2026-01-01T00:01:00Z", "--until", "1767225800", "--json"}, Caller::web);
  ASSERT_EQ(r.status, 0) << r.error;
  nlohmann::json j = nlohmann::json::parse(r.output);
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[0]["time"], "2026-01-01T00:01:00Z");
  EXPECT_EQ(j[0]["watts"], 12.5);
  EXPECT_EQ(j[0]["charging"], true);
  EXPECT_TRUE(j[2]["max_capacity"].is_null());
}

TEST_F(HistoryCommand, SessionsAndForecast) {
  px::host::cli::CommandResult r = run_command({"history", "sessions", "--csv"}, Caller::terminal);
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.output,
            "start,end,start_level,end_level,mah_added,peak_watts,duration\n"
            "2026-01-01T00:01:00Z,2026-01-01T00:05:00Z,31,40,135,12.5,240\n");
  r = run_command({"history", "forecast", "--json"}, Caller::terminal);
  ASSERT_EQ(r.status, 0) << r.error;
  nlohmann::json j = nlohmann::json::parse(r.output);
  EXPECT_EQ(j["status"], "not_enough_history");
  EXPECT_EQ(j["health_percent"], 96.2);
  EXPECT_TRUE(j["cycles_to_80"].is_null());
  EXPECT_TRUE(j["date_80"].is_null());
  r = run_command({"history", "forecast"}, Caller::terminal);
  EXPECT_EQ(r.output, "Health: 96.2 %\nNot enough history yet (14 more days)\n");
}

TEST_F(HistoryCommand, WrongCommandLinesExitTwo) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"history", "--csv", "--json"},
        {"history", "forecast", "--csv"},
        {"history", "sessions", "--since", "12:00"},
        {"history", "--since", "yesterday"},
        {"history", "--since", "2026-01-02T00:00:00Z", "--until", "2026-01-01T00:00:00Z"},
        {"history", "everything"}}) {
    px::host::cli::CommandResult r = run_command(args, Caller::terminal);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_NE(r.error.find("usage: simdevice history"), std::string::npos) << r.error;
  }
}

TEST_F(HistoryCommand, MissingStoreIsEmptyDamagedStoreExitsOne) {
  std::filesystem::remove(store_path());
  std::filesystem::remove(store_path() + "-wal");
  std::filesystem::remove(store_path() + "-shm");
  px::host::cli::CommandResult r = run_command({"history", "--csv"}, Caller::terminal);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << "the header alone";
  EXPECT_EQ(run_command({"history", "forecast", "--json"}, Caller::terminal).output.find("no_capacity_data") !=
                std::string::npos,
            true);
  std::ofstream(store_path()) << std::string(3000, 'z');
  r = run_command({"history"}, Caller::terminal);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.error.find("unavailable"), std::string::npos) << r.error;
  EXPECT_EQ(std::filesystem::file_size(store_path()), 3000u) << "a reader never repairs or moves the store";
}

}  // namespace

TEST(HistoryCommandBounds, ExportsGoOutRowByRowAndThePagesCopyStopsAtItsLimit) {
  px::tests::support::TempDevice device;
  {
    px::history::HistoryWriter writer;
    writer.record(sample_at(kEpoch), kEpoch);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(device.path(px::shared::kHistoryStoreFile).c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db,
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000)"
                   " INSERT INTO samples SELECT 1767225600 + i, i % 100, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8.5 FROM n;"
                   " INSERT INTO samples(time, level) VALUES (-9223372036854775807 - 1, 1), (-62135596800, 2);",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  std::string streamed;
  std::size_t writes = 0;
  px::host::cli::RunOptions terminal;
  terminal.sink = [&](px::host::cli::Stream stream, std::string_view text) {
    if (stream == px::host::cli::Stream::output) streamed.append(text), ++writes;
  };
  ASSERT_EQ(run_command({"history", "--json"}, terminal).status, 0);
  std::size_t rows = 0;
  for (std::size_t at = streamed.find("\"time\": "); at != std::string::npos; at = streamed.find("\"time\": ", at + 1))
    ++rows;
  EXPECT_EQ(rows, 30001u) << "times no clock gives are not exported";
  EXPECT_EQ(streamed.rfind("[\n  {\n    \"time\": \"2026-01-01T00:00:00Z\",", 0), 0u);
  EXPECT_EQ(streamed.substr(streamed.size() - 8), "5\n  }\n]\n");
  EXPECT_GT(writes, 10u) << "written as it was read, not at the end";
  px::host::cli::CommandResult page = run_command({"history", "--json"}, Caller::web);
  EXPECT_EQ(page.status, 1);
  EXPECT_TRUE(page.output.empty());
  EXPECT_NE(page.error.find("--since"), std::string::npos) << page.error;
  EXPECT_EQ(run_command({"history", "--csv", "--since", "2026-01-01T08:00:00Z"}, Caller::web).status, 0);
}
