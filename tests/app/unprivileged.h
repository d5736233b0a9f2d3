// Permission checks as an ordinary user would meet them, also when the tests run as
// root (whom permission bits do not stop).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace vorn::testing {

// Runs body(folder) and returns its result (0..255). As root, body runs in a child
// process that has given up root's rights; the child enters the folder first and is
// handed ".", because the private temp root is closed to other users.
inline int RunUnprivileged(const std::string& folder, const std::function<int(const std::string&)>& body) {
  if (geteuid() != 0) return body(folder) & 0xFF;
  const pid_t pid = fork();
  if (pid == 0) {
    const uid_t nobody = 65534;
    if (chdir(folder.c_str()) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(255);
    _exit(body(".") & 0xFF);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vorn::testing
