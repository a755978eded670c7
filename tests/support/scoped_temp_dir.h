#pragma once
// A fresh folder under the machine's temporary folder, removed with everything
// in it when the object goes: the one way tests make a scratch folder.

#include <string>

namespace px::tests::support {

class ScopedTempDir {
 public:
  // `prefix` names the folder ("<prefix>-XXXXXX"); throws when none can be made.
  explicit ScopedTempDir(const std::string& prefix = "pxtest");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace px::tests::support
