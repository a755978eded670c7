#include "fuzz/entries.h"
#include "platform/foundation/property_list.h"

namespace px::fuzz {

void plist_parse(std::string_view bytes) {
  using namespace platform::foundation::plist;
  auto p = parse(bytes);
  if (!p) {
    require(!p.message().empty(), "a refused document says why");
    return;
  }
  // Whatever is read can be written back: the system rewrites what it reads
  // (defaults domains, the settings file), and a refused write would lose it.
  for (Format f : {Format::binary, Format::xml}) {
    auto out = serialize(*p, f);
    require(out.has_value(), f == Format::binary ? "binary write of a read value" : "XML write of a read value");
    // Shared objects are written out once per reference in XML; beyond the
    // size bound the writer refuses the file (write_file), so it never lands.
    if (out->size() > max_file_bytes) continue;
    require(parse(*out).ok(), "a written document reads back");
  }
}

}  // namespace px::fuzz
