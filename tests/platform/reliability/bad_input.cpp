#include "tests/platform/reliability/bad_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/foundation/property_list.h"

namespace px::platform::reliability {
namespace fs = std::filesystem;
using foundation::Array;
using foundation::Data;
using foundation::Date;
using foundation::Dictionary;
using foundation::Value;

namespace {

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string xml(const Value& v) { return *foundation::plist::serialize(v, foundation::plist::Format::xml); }
std::string binary(const Value& v) { return *foundation::plist::serialize(v, foundation::plist::Format::binary); }

Variant bytes_variant(std::string name, Expect e, std::string bytes) {
  return {std::move(name), e, [bytes = std::move(bytes)](const std::string& p) { write_bytes(p, bytes); }};
}

// A binary list of `depth` arrays, each holding the next: libplist would
// recurse once per level.
std::string deep_binary(int depth) {
  std::string body = "bplist00";
  std::vector<std::uint32_t> offsets;
  for (int i = 0; i < depth; ++i) {
    offsets.push_back(static_cast<std::uint32_t>(body.size()));
    body += '\xA1';
    std::uint32_t next = static_cast<std::uint32_t>(i + 1);
    body += static_cast<char>(next >> 8);
    body += static_cast<char>(next & 0xFF);
  }
  offsets.push_back(static_cast<std::uint32_t>(body.size()));
  body += "\x50";  // the empty string at the bottom
  std::uint64_t table = body.size();
  for (auto off : offsets)
    for (int s = 24; s >= 0; s -= 8) body += static_cast<char>((off >> s) & 0xFF);
  std::string trailer(6, '\0');
  trailer += '\x04';  // offset size
  trailer += '\x02';  // reference size
  auto be64 = [](std::uint64_t v) {
    std::string s;
    for (int k = 56; k >= 0; k -= 8) s += static_cast<char>((v >> k) & 0xFF);
    return s;
  };
  trailer += be64(offsets.size()) + be64(0) + be64(table);
  return body + trailer;
}

}  // namespace

bool reads_everything() { return ::geteuid() == 0; }

void clear(const std::string& host_path) {
  std::error_code ec;
  ::chmod(host_path.c_str(), 0644);
  fs::remove_all(host_path, ec);
}

std::vector<Variant> file_variants(const Value& good, const std::string& outside, bool device_links) {
  std::vector<Variant> v;
  std::string good_xml = xml(good), good_bin = binary(good);
  v.push_back({"missing", Expect::empty, [](const std::string&) {}});
  v.push_back(bytes_variant("xml", Expect::usable, good_xml));
  v.push_back(bytes_variant("binary", Expect::usable, good_bin));
  v.push_back(bytes_variant("empty", Expect::empty, ""));
  v.push_back(bytes_variant("truncated-xml", Expect::empty, good_xml.substr(0, good_xml.size() / 2)));
  v.push_back(bytes_variant("truncated-binary", Expect::empty, good_bin.substr(0, good_bin.size() - 7)));
  v.push_back(bytes_variant("binary-magic-only", Expect::empty, "bplist00"));
  std::mt19937 rng(7);
  std::string garbage(4096, '\0');
  for (auto& c : garbage) c = static_cast<char>(rng());
  v.push_back(bytes_variant("garbage", Expect::empty, garbage));
  v.push_back(bytes_variant("garbage-after-magic", Expect::empty, "bplist00" + garbage));
  v.push_back(bytes_variant("text", Expect::empty, "enablePSM = YES;\n"));
  v.push_back(bytes_variant("json", Expect::empty, "{\"enablePSM\": true}"));
  v.push_back(bytes_variant("root-array", Expect::empty, xml(Value(Array{good}))));
  v.push_back(bytes_variant("root-string", Expect::empty, xml(Value("a string"))));
  v.push_back(bytes_variant("root-integer-binary", Expect::empty, binary(Value(42))));
  v.push_back(bytes_variant("nul-bytes", Expect::empty, std::string(1024, '\0')));
  // Every value of every other type.
  const std::vector<std::pair<const char*, Value>> others = {{"bool", Value(true)},
                                                             {"int", Value(-7)},
                                                             {"int64-min", Value(static_cast<long long>(INT64_MIN))},
                                                             {"real", Value(1e308)},
                                                             {"nan", Value(std::nan(""))},
                                                             {"string", Value("12abc")},
                                                             {"data", Value(Data{{1, 2, 3}})},
                                                             {"date", Value(Date{1e9})},
                                                             {"array", Value(Array{1, "x"})},
                                                             {"dict", Value(Dictionary{{"k", 1}})}};
  for (auto& [kind, other] : others) {
    Dictionary d = *good.dictionary();
    for (auto& [key, value] : d) value = other;
    v.push_back(bytes_variant(std::string("all-values-") + kind, Expect::no_crash, xml(Value(d))));
    v.push_back(bytes_variant(std::string("all-values-") + kind + "-binary", Expect::no_crash, binary(Value(d))));
  }
  std::string bad_utf8 = good_xml;
  for (std::size_t i = bad_utf8.find("<key>"); i != std::string::npos; i = bad_utf8.find("<key>", i + 1))
    bad_utf8.insert(i + 5, "\xC3\x28");
  for (std::size_t i = bad_utf8.find("<string>"); i != std::string::npos; i = bad_utf8.find("<string>", i + 1))
    bad_utf8.insert(i + 8, "\xED\xA0\x80\xFF");
  v.push_back(bytes_variant("invalid-utf8", Expect::no_crash, bad_utf8));
  {
    Dictionary d = *good.dictionary();
    d["Padding"] = std::string(10 * 1024 * 1024, 'x');
    v.push_back(bytes_variant("10MiB", Expect::empty, xml(Value(d))));
  }
  {
    std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 10000; ++i) deep += "<array>";
    for (int i = 0; i < 10000; ++i) deep += "</array>";
    v.push_back(bytes_variant("nested-10000-xml", Expect::empty, deep + "</plist>"));
    std::string dict_deep = "<plist><dict>";
    for (int i = 0; i < 10000; ++i) dict_deep += "<key>k</key><dict>";
    for (int i = 0; i < 10001; ++i) dict_deep += "</dict>";
    v.push_back(bytes_variant("nested-10000-dict", Expect::empty, dict_deep + "</plist>"));
    // Closing tags hidden in comments must not pay for the openings after them.
    std::string hidden = "<plist>";
    for (int i = 0; i < 10000; ++i) hidden += "<!--</array>-->";
    for (int i = 0; i < 10000; ++i) hidden += "<array>";
    v.push_back(bytes_variant("nested-10000-behind-comments", Expect::empty, hidden));
    v.push_back(bytes_variant("nested-10000-binary", Expect::empty, deep_binary(10000)));
  }
  v.push_back({"folder", Expect::empty, [](const std::string& p) { fs::create_directory(p); }});
  v.push_back({"folder-with-file", Expect::empty, [good_xml](const std::string& p) {
                 fs::create_directory(p);
                 write_bytes(p + "/inner.plist", good_xml);
               }});
  if (!reads_everything())
    v.push_back({"unreadable", Expect::empty, [good_xml](const std::string& p) {
                   write_bytes(p, good_xml);
                   ::chmod(p.c_str(), 0);
                 }});
  v.push_back({"fifo", Expect::empty, [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }});
  if (device_links) {
    // A good file outside the root, and links aiming at it three ways: the
    // absolute host path, climbing with "..", and the machine's own files.
    std::string target = outside + "/good.plist";
    write_bytes(target, good_xml);
    v.push_back(
        {"link-absolute-out", Expect::empty, [target](const std::string& p) { fs::create_symlink(target, p); }});
    v.push_back({"link-climbing-out", Expect::empty, [target](const std::string& p) {
                   fs::create_symlink("../../../../../../../../../../../../.." + target, p);
                 }});
    v.push_back({"link-to-dev-zero", Expect::empty, [](const std::string& p) { fs::create_symlink("/dev/zero", p); }});
    v.push_back(
        {"link-loop", Expect::empty, [](const std::string& p) { fs::create_symlink(fs::path(p).filename(), p); }});
  }
  return v;
}

std::map<std::string, std::string> snapshot(const std::string& root, const std::vector<std::string>& skip) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::string p = it->path().string();
    bool skipped = p.find("/var/log/") != std::string::npos;
    for (auto& s : skip)
      if (p == s || p.rfind(s + "/", 0) == 0) skipped = true;
    if (skipped || !it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    out[p] = ss.str();
  }
  return out;
}

}  // namespace px::platform::reliability
