#include "fuzz/fuzz_device.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fuzz/entries.h"
#include "host/common/device_layout.h"
#include "platform/sim/device_paths.h"

namespace px::fuzz {

void require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

namespace {
std::string g_root;
void remove_root() {
  std::error_code ec;
  if (!g_root.empty()) std::filesystem::remove_all(g_root, ec);
}
}  // namespace

const std::string& fuzz_device_root() {
  if (!g_root.empty()) return g_root;
  std::string tmpl = (std::filesystem::temp_directory_path() / "pxfuzz-XXXXXX").string();
  require(::mkdtemp(tmpl.data()) != nullptr, "mkdtemp");
  g_root = tmpl;
  require(host::common::make_device_layout(g_root).ok(), "device layout");
  platform::sim::set_device_root(g_root);
  std::atexit(remove_root);
  return g_root;
}

void put_device_file(std::string_view device_file, std::string_view bytes) {
  fuzz_device_root();
  std::string host = platform::sim::DevicePath(device_file).host();
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(host).parent_path(), ec);
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void truncate_device_log() {
  fuzz_device_root();
  std::string log = platform::sim::DevicePath("/var/log/syslog").host();
  if (::truncate(log.c_str(), 0) != 0) {
    // No log yet.
  }
}

}  // namespace px::fuzz
