#pragma once

namespace hostbind_test {

// The exit code of the program that std::system ran, from what it returned.
int ExitCodeOf(int systemStatus);

}  // namespace hostbind_test
