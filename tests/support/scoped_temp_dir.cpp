#include "tests/support/scoped_temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace px::tests::support {

ScopedTempDir::ScopedTempDir(const std::string& prefix) {
  std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder: " + tmpl);
  m_path = tmpl;
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

}  // namespace px::tests::support
