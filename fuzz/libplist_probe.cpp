// What libplist 2.2 itself does with the crafted inputs in fuzz/corpus/plist/
// ("crafted-*"), bypassing the guard in platform/foundation: each file goes
// straight to plist_from_bin / plist_from_xml, every date is fetched through
// plist_get_date_val and every document is written back as XML. Run it under
// valgrind (libplist is not instrumented) to see its out-of-bounds reads:
//
//   valgrind build-d/bin/libplist_probe fuzz/corpus/plist/crafted-*
//
// Files whose name contains "shared-refs" are truncated to their first
// PROBE_LEVELS levels (default 20) so that the expansion shows without
// exhausting memory. Not part of the tests: it demonstrates the faults the
// guard exists for.
#include <plist/plist.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::size_t count_nodes(plist_t node) {
  std::size_t n = 1;
  if (plist_get_node_type(node) == PLIST_ARRAY)
    for (uint32_t i = 0; i < plist_array_get_size(node); ++i) n += count_nodes(plist_array_get_item(node, i));
  return n;
}

void visit_dates(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);  // a plain double -> int32_t cast inside
      std::printf("    date -> sec %d usec %d\n", sec, usec);
      break;
    }
    case PLIST_ARRAY:
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) visit_dates(plist_array_get_item(node, i));
      break;
    default:
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  int levels = std::getenv("PROBE_LEVELS") ? std::atoi(std::getenv("PROBE_LEVELS")) : 20;
  for (int a = 1; a < argc; ++a) {
    std::ifstream in(argv[a], std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string bytes = ss.str();
    std::string name = argv[a];
    if (name.find("shared-refs") != std::string::npos && bytes.size() > 40) {
      // Point the trailer's top object at level (40 - levels) of the 40-level chain.
      bytes[bytes.size() - 9] = static_cast<char>(40 - levels);
    }
    std::printf("%s (%zu bytes)\n", argv[a], bytes.size());
    plist_t root = nullptr;
    auto start = std::chrono::steady_clock::now();
    if (bytes.compare(0, 8, "bplist00") == 0)
      plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    else
      plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!root) {
      std::printf("    refused by libplist (%.1f ms)\n", ms);
      continue;
    }
    std::printf("    parsed: %zu nodes in %.1f ms\n", count_nodes(root), ms);
    visit_dates(root);
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(root, &xml, &len);
    std::printf("    written back: %u bytes of XML\n", len);
    if (xml) plist_to_xml_free(xml);
    plist_free(root);
  }
  return 0;
}
