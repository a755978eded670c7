#include "host/cli/package_store.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "host/common/device_layout.h"
#include "platform/foundation/file_io.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"

namespace px::host::cli {
namespace {

namespace fs = std::filesystem;

std::string info_path(const std::string& package, const char* ext) {
  return platform::sim::DevicePath("/var/lib/dpkg/info/" + package + ext).host();
}

std::string read_text(const std::string& path) {
  auto c = platform::foundation::read_whole_file(path, 16u << 20);
  return c.ok() ? std::move(c).value() : std::string();
}

std::vector<std::string> read_list(const std::string& package) {
  std::vector<std::string> paths;
  std::istringstream in(read_text(info_path(package, ".list")));
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] == '/') paths.push_back(line);
  return paths;
}

// The host path of a device path without following its last component, so a
// link the package installed is itself replaced or removed.
std::string host_path_nofollow(const std::string& device_path) {
  auto slash = device_path.rfind('/');
  std::string parent = device_path.substr(0, slash);
  return platform::sim::DevicePath(parent.empty() ? "/" : parent).host() + device_path.substr(slash);
}

int run(const std::vector<std::string>& argv, std::string* out = nullptr) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return -1;
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::dup2(pipefd[1], 1);
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    _exit(127);
  }
  ::close(pipefd[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(pipefd[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool remove_paths(const std::vector<std::string>& paths, const std::set<std::string>& keep) {
  std::vector<std::string> dirs;
  for (auto& p : paths) {
    if (keep.count(p)) continue;
    std::string host = host_path_nofollow(p);
    std::error_code ec;
    auto st = fs::symlink_status(host, ec);
    if (ec) continue;
    if (fs::is_directory(st))
      dirs.push_back(host);
    else
      fs::remove(host, ec);
  }
  // Deepest first; a folder still holding something of another package stays.
  std::sort(dirs.begin(), dirs.end(), [](auto& a, auto& b) { return a.size() > b.size(); });
  for (auto& d : dirs) {
    std::error_code ec;
    if (fs::is_empty(d, ec)) fs::remove(d, ec);
  }
  return true;
}

}  // namespace

bool valid_package_name(const std::string& name) {
  static const std::regex pattern("[a-z0-9][a-z0-9+.-]+");
  return std::regex_match(name, pattern);
}

std::optional<std::string> control_field(const std::string& control, const std::string& field) {
  std::istringstream in(control);
  for (std::string line; std::getline(in, line);) {
    if (line.size() > field.size() && line.compare(0, field.size(), field) == 0 && line[field.size()] == ':') {
      std::string v = line.substr(field.size() + 1);
      v.erase(0, v.find_first_not_of(" \t"));
      while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
      return v;
    }
  }
  return std::nullopt;
}

platform::foundation::Result<InstallResult> install_tree(const std::string& tree_path, const std::string& name) {
  // Named as it really is: the file layer refuses paths that only look as if they were inside the device.
  std::error_code canon_ec;
  std::string tree = fs::weakly_canonical(fs::absolute(tree_path), canon_ec).string();
  if (canon_ec) tree = tree_path;
  auto fail = [](const std::string& why) { return platform::foundation::fail(platform::foundation::Errc::io, why); };
  std::error_code ec;
  if (!fs::is_directory(tree, ec)) return fail(tree + ": no such package folder or .deb");
  if (platform::sim::device_root().empty()) return fail("no device root");
  std::string control = read_text(tree + "/DEBIAN/control");
  std::string package = control_field(control, "Package").value_or(name.empty() ? kDefaultPackage : name);
  if (!valid_package_name(package)) return fail("bad package name '" + package + "'");
  // A package for a phone holds a phone's code, which nothing here can load.
  auto architecture = control_field(control, "Architecture");
  if (architecture && *architecture != kPackageArchitecture && *architecture != "all")
    return fail(package + " is built for " + *architecture + "; this device takes packages built for " +
                kPackageArchitecture + " (make package)");

  std::vector<std::string> listed{"/."};
  std::set<std::string> now{"/."};
  InstallResult result{package, 0};
  for (auto it = fs::recursive_directory_iterator(tree, fs::directory_options::none, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) return fail(tree + ": " + ec.message());
    fs::path rel = fs::relative(it->path(), tree);
    if (*rel.begin() == "DEBIAN") {
      it.disable_recursion_pending();
      continue;
    }
    std::string device = "/" + rel.generic_string();
    std::string dest = host_path_nofollow(device);
    auto st = it->symlink_status();
    if (fs::is_directory(st)) {
      fs::create_directories(dest, ec);
      if (ec) return fail(dest + ": " + ec.message());
    } else if (fs::is_symlink(st)) {
      fs::remove(dest, ec);
      fs::create_symlink(fs::read_symlink(it->path()), dest, ec);
      if (ec) return fail(dest + ": " + ec.message());
      ++result.files;
    } else if (fs::is_regular_file(st)) {
      auto contents = platform::foundation::read_whole_file(it->path().string(), 256u << 20);
      if (!contents.ok() || !platform::sim::write_file_atomically(dest, *contents))
        return fail("cannot install " + device);
      fs::permissions(dest, fs::status(it->path()).permissions(), ec);
      ++result.files;
    } else {
      continue;  // sockets, devices: nothing a package should carry
    }
    listed.push_back(device);
    now.insert(device);
  }
  auto previous = read_list(package);
  remove_paths(previous, now);
  std::string list_text;
  for (auto& p : listed) list_text += p + "\n";
  if (!platform::sim::write_file_atomically(info_path(package, ".list"), list_text))
    return fail("cannot record the installed files of " + package);
  if (control.empty()) control = "Package: " + package + "\nVersion: 0\nArchitecture: " + kPackageArchitecture + "\n";
  platform::sim::write_file_atomically(info_path(package, ".control"), control);
  return result;
}

platform::foundation::Result<InstallResult> install_deb(const std::string& deb) {
  std::string tmp = platform::sim::DevicePath("/tmp").host() + "/install-XXXXXX";
  if (!::mkdtemp(tmp.data()))
    return platform::foundation::fail(platform::foundation::Errc::io, "cannot make a folder to unpack " + deb);
  platform::foundation::Result<InstallResult> result =
      run({"dpkg-deb", "-x", deb, tmp}) != 0 || run({"dpkg-deb", "-e", deb, tmp + "/DEBIAN"}) != 0
          ? platform::foundation::fail(platform::foundation::Errc::malformed,
                                       deb + ": not a Debian package dpkg-deb can unpack")
          : install_tree(tmp, "");
  std::error_code ec;
  fs::remove_all(tmp, ec);
  return result;
}

platform::foundation::Result<void> remove_package(const std::string& name) {
  if (!valid_package_name(name) || !fs::exists(info_path(name, ".list")))
    return platform::foundation::fail(platform::foundation::Errc::missing, "package '" + name + "' is not installed");
  remove_paths(read_list(name), {"/."});
  ::unlink(info_path(name, ".list").c_str());
  ::unlink(info_path(name, ".control").c_str());
  // Put back whatever of the layout the package's files took with them.
  return common::make_device_layout(platform::sim::device_root());
}

std::vector<std::string> installed_packages() {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(platform::sim::DevicePath("/var/lib/dpkg/info").host(), ec))
    if (e.path().extension() == ".list") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace px::host::cli
