#pragma once
// The two ways work can leave a host call: a thread of its own, started the
// system's way and let go (what a refresh cost before it became pool work),
// and a pool submission through the platform layer the plug-in uses.
namespace kronel_bench {

// Microseconds from asking for a thread that does nothing to having let go
// of it: a detached pthread_create natively, CreateThread and CloseHandle on
// Windows. Negative when no thread could be started.
double ThreadStartMicroseconds();

// Submits work that does nothing through platform::SubmitWork; false when
// the pool took none. Natively this is the benchmark's own copy of the pool
// (the plug-in keeps its copy to itself); on Windows both reach the system's.
bool SubmitNothing();

}  // namespace kronel_bench
