#include "interrupt.h"

#include <csignal>

namespace kronel_names {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void CatchInterrupt() { std::signal(SIGINT, OnInterrupt); }

bool Interrupted() { return g_interrupted != 0; }

}  // namespace kronel_names
