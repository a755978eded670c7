#pragma once
// The fuzzed entry points: one function per input the system reads, taking
// the raw bytes. libFuzzer drives them from fuzz/libfuzzer_main.cpp; the
// replay test (fuzz/replay_test.cpp) feeds every committed corpus file
// through the same functions in the normal build, so a crash found once
// stays found.
//
// Each entry also checks what must hold for every input it accepts and
// aborts when it does not, so that libFuzzer reports the input.

#include <string_view>

namespace px::fuzz {

// platform::foundation::plist::parse, both formats; what it accepts writes back in
// both formats and reads back.
void plist_parse(std::string_view bytes);
// The settings file as the tweak reads it (loadSettings into TweakSettings).
void settings_file(std::string_view bytes);
// Every getter of the panes that show the battery data file, over these bytes
// as that file.
void pane_getters(std::string_view bytes);
// A specifier list loaded by a pane (PSListController::loadSpecifiersFromPlistName).
void specifier_list(std::string_view bytes);
// A filter plist beside a library in the Substrate folder (filter_selects and load_tweaks).
void filter_plist(std::string_view bytes);
// A PreferenceLoader entry list, loaded and opened by the Settings app.
void loader_entry(std::string_view bytes);
// A battery trace file (property-list or JSON-lines form).
void trace_reader(std::string_view bytes);
// A battery history store file, read as the History pane and `simdevice history` read it.
void history_store(std::string_view bytes);
// One control-socket request line, and one reply line.
void control_message(std::string_view bytes);

// A body of POST /api/command, and the same bytes as a path under /bundle/
// and as a page file of simdevice web.
void web_request(std::string_view bytes);

// Aborts with `what` when `ok` is false.
void require(bool ok, const char* what);

}  // namespace px::fuzz
