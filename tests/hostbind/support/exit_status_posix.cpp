#include "support/exit_status.h"

#include <sys/wait.h>

namespace hostbind_test {

int ExitCodeOf(int systemStatus) {
  if (systemStatus == -1) return -1;
  if (WIFEXITED(systemStatus)) return WEXITSTATUS(systemStatus);
  return 128 + WTERMSIG(systemStatus);
}

}  // namespace hostbind_test
