// Runs a shell command for a test and returns what it printed on standard
// output (add " 2>&1" to the command for standard error too). The exit
// status, as pclose gives it, goes to *status when asked for.
#pragma once

#include <cstdio>
#include <string>

inline std::string RunCommand(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int rc = pclose(pipe);
  if (status) *status = rc;
  return out;
}
