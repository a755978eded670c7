#include "platform/foundation/binary_plist_check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace px::platform::foundation::plist {
namespace {

std::uint64_t read_be(const unsigned char* p, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

struct Reader {
  const unsigned char* data;
  std::size_t size;
  std::size_t table_offset;
  unsigned offset_size;
  unsigned ref_size;
  std::uint64_t count;

  bool object_offset(std::uint64_t index, std::size_t& out) const {
    if (index >= count) return false;
    std::uint64_t off = read_be(data + table_offset + index * offset_size, offset_size);
    if (off < 8 || off >= table_offset) return false;
    out = static_cast<std::size_t>(off);
    return true;
  }

  // Children of a container object, or an empty list for a scalar. False on a
  // malformed object.
  bool children(std::size_t offset, std::vector<std::uint64_t>& refs) const {
    refs.clear();
    unsigned char marker = data[offset];
    unsigned type = marker >> 4, low = marker & 15;
    std::size_t pos = offset + 1;
    auto length = [&](std::uint64_t& n) {
      if (low != 15) {
        n = low;
        return true;
      }
      if (pos >= table_offset) return false;
      unsigned char int_marker = data[pos];
      if ((int_marker >> 4) != 1 || (int_marker & 15) > 3) return false;
      std::size_t bytes = std::size_t{1} << (int_marker & 15);
      if (pos + 1 + bytes > table_offset) return false;
      n = read_be(data + pos + 1, bytes);
      pos += 1 + bytes;
      return true;
    };
    std::uint64_t n = 0;
    switch (type) {
      case 0x0:
        return marker == 0x00 || marker == 0x08 || marker == 0x09 || marker == 0x0F;
      case 0x1:
        return low <= 4 && pos + (std::size_t{1} << low) <= table_offset;  // 1..16-byte integers
      case 0x2:
        return (low == 2 || low == 3) && pos + (std::size_t{1} << low) <= table_offset;
      case 0x3: {
        if (marker != 0x33 || pos + 8 > table_offset) return false;
        // libplist hands dates out as int32_t seconds through a plain cast.
        std::uint64_t bits = read_be(data + pos, 8);
        double t;
        std::memcpy(&t, &bits, sizeof t);
        return t > -2147483648.0 && t < 2147483647.0;  // false for NaN too
      }
      case 0x4:
        return length(n) && n <= table_offset && pos + n <= table_offset;
      // libplist asserts (aborting the process) when a string or key holds a
      // NUL: it checks its length against strlen.
      case 0x5:
        if (!length(n) || n > table_offset || pos + n > table_offset) return false;
        return std::memchr(data + pos, 0, static_cast<std::size_t>(n)) == nullptr;
      case 0x6:
        if (!length(n) || n > table_offset / 2 || pos + 2 * n > table_offset) return false;
        for (std::uint64_t i = 0; i < n; ++i)
          if (data[pos + 2 * i] == 0 && data[pos + 2 * i + 1] == 0) return false;
        return true;
      case 0x8:
        return low <= 7 && pos + low + 1 <= table_offset;  // UIDs of 1..8 bytes
      case 0xA:
      case 0xC:
      case 0xD: {
        if (!length(n)) return false;
        // Writers share equal values, so an array may name one object any
        // number of times: only the bytes bound the references (overflow-free).
        if (pos > table_offset || n > (table_offset - pos) / ref_size / (type == 0xD ? 2 : 1)) return false;
        std::uint64_t total = type == 0xD ? 2 * n : n;
        refs.reserve(static_cast<std::size_t>(total));
        for (std::uint64_t i = 0; i < total; ++i) {
          std::uint64_t r = read_be(data + pos + i * ref_size, ref_size);
          if (r >= count) return false;
          refs.push_back(r);
        }
        // Dictionary keys are strings; libplist assumes so when it hands them out.
        for (std::uint64_t i = 0; type == 0xD && i < n; ++i) {
          std::size_t key_offset = 0;
          if (!object_offset(refs[static_cast<std::size_t>(i)], key_offset)) return false;
          unsigned key_type = data[key_offset] >> 4;
          if (key_type != 0x5 && key_type != 0x6) return false;
        }
        return true;
      }
      default:
        return false;
    }
  }
};

}  // namespace

Result<void> check_binary_plist(std::string_view bytes, int max_depth, std::uint64_t max_nodes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t size = bytes.size();
  if (size < 8 + 32) return fail(Errc::malformed, "binary property list shorter than its trailer");
  const unsigned char* trailer = data + size - 32;
  Reader r{data, size, 0, trailer[6], trailer[7], read_be(trailer + 8, 8)};
  std::uint64_t top = read_be(trailer + 16, 8);
  std::uint64_t table = read_be(trailer + 24, 8);
  if (r.offset_size < 1 || r.offset_size > 8 || r.ref_size < 1 || r.ref_size > 8)
    return fail(Errc::malformed, "binary property list with bad field sizes");
  if (r.count == 0 || top >= r.count || table < 8 || table >= size - 32)
    return fail(Errc::malformed, "binary property list with a bad trailer");
  if (r.count > (size - 32 - table) / r.offset_size)
    return fail(Errc::malformed, "binary property list whose offset table overruns");
  r.table_offset = static_cast<std::size_t>(table);

  // Depth-first walk with colours: grey objects are on the current path (a
  // reference to one is a cycle), black ones are done and remember their depth.
  enum : unsigned char { white, grey, black };
  std::vector<unsigned char> colour(static_cast<std::size_t>(r.count), white);
  std::vector<int> height(static_cast<std::size_t>(r.count), 0);
  // Values an object expands to when libplist copies it at each reference,
  // saturated just above the limit.
  std::vector<std::uint64_t> nodes(static_cast<std::size_t>(r.count), 0);
  struct Frame {
    std::uint64_t object;
    std::vector<std::uint64_t> refs;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  auto enter = [&](std::uint64_t object) {
    std::size_t offset = 0;
    Frame f{object, {}, 0};
    if (!r.object_offset(object, offset) || !r.children(offset, f.refs)) return false;
    colour[object] = grey;
    stack.push_back(std::move(f));
    return true;
  };
  if (!enter(top)) return fail(Errc::malformed, "binary property list with a bad object");
  while (!stack.empty()) {
    if (static_cast<int>(stack.size()) > max_depth + 1)
      return fail(Errc::too_deep, "binary property list nested too deep");
    Frame& f = stack.back();
    if (f.next < f.refs.size()) {
      std::uint64_t child = f.refs[f.next++];
      if (colour[child] == grey) return fail(Errc::malformed, "binary property list with a cycle");
      if (colour[child] == white && !enter(child))
        return fail(Errc::malformed, "binary property list with a bad object");
      continue;
    }
    int h = 0;
    std::uint64_t n = 1;
    for (auto c : f.refs) {
      h = std::max(h, height[c] + 1);
      n = std::min(n + nodes[c], max_nodes + 1);
    }
    if (h > max_depth) return fail(Errc::too_deep, "binary property list nested too deep");
    if (n > max_nodes) return fail(Errc::too_large, "binary property list expanding to too many values");
    height[f.object] = h;
    nodes[f.object] = n;
    colour[f.object] = black;
    stack.pop_back();
  }
  return {};
}

}  // namespace px::platform::foundation::plist
