// One libFuzzer executable per entry; PX_FUZZ_ENTRY names the entry function.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PX_FUZZ_ENTRY(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
