// The shipped library exports nothing: Substrate loads it and its constructor
// is its only way in. A test-only entry point called inside a running
// SpringBoard would start the tweak over itself, so none may appear.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>
#include <sstream>
#include <string>

namespace {

// The names `nm -D --defined-only` lists for the library; nothing when nm failed.
std::optional<std::set<std::string>> exported_names(const std::string& library) {
  std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::set<std::string> names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name) names.insert(name);
  }
  if (::pclose(pipe) != 0) return std::nullopt;
  return names;
}

TEST(ShippedTweakLibrary, ExportsNothingOfItsOwn) {
  auto names = exported_names(PX_TWEAK_STAGED);
  ASSERT_TRUE(names) << "nm could not read " << PX_TWEAK_STAGED;
  // What the linker itself defines in every shared library.
  const std::set<std::string> linker_defined{"_init", "_fini", "__bss_start", "_edata", "_end"};
  for (const std::string& name : *names) EXPECT_TRUE(linker_defined.count(name)) << "exported: " << name;
}

}  // namespace
