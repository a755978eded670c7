#pragma once
// Runs the real simdevice binary against a temporary device, for tests that
// cross process boundaries.

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace px::tests::support {

struct Run {
  int status = -1;
  std::string output;  // stdout and stderr together
};

inline std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline Run simdevice(const std::string& root, const std::vector<std::string>& args) {
  std::string cmd = shell_quote(PX_SIMDEVICE) + " --root " + shell_quote(root);
  for (auto& a : args) cmd += " " + shell_quote(a);
  cmd += " 2>&1";
  Run r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace px::tests::support
