#include "support/exit_status.h"

namespace hostbind_test {

// The command interpreter hands the program's exit code on unchanged.
int ExitCodeOf(int systemStatus) { return systemStatus; }

}  // namespace hostbind_test
