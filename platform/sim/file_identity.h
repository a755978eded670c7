#pragma once
// What a file is, told by one stat without reading it: its device, inode,
// size and times. Readers that keep what they parsed (the clock, the battery
// entry, the load model's switches) read a file again only when its identity
// changed; the files they watch are replaced whole (renamed over), so a new
// file is a new identity.

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace px::platform::sim {

struct FileIdentity {
  // `unknown`: the stat failed for another reason than absence; it is never
  // the same as anything, so the caller reads again.
  enum class Kind { unknown, absent, present } kind = Kind::unknown;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileIdentity of(const struct stat& st) {
    return {Kind::present, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }

  // lstat by default: a link planted in the file's place is a change too.
  static FileIdentity at(const std::string& path, bool follow_links = false) {
    struct stat st {};
    if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0) return of(st);
    return {errno == ENOENT ? Kind::absent : Kind::unknown};
  }

  bool same_as(const FileIdentity& other) const {
    if (kind == Kind::unknown || kind != other.kind) return false;
    return kind == Kind::absent || (device == other.device && inode == other.inode && size == other.size &&
                                    same_time(modified, other.modified) && same_time(changed, other.changed));
  }

 private:
  static bool same_time(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }
};

}  // namespace px::platform::sim
