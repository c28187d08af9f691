#include <pthread.h>

#include "support.h"
#include "thread_start.h"

namespace kronel_bench {
namespace {

void* Nothing(void*) { return nullptr; }

}  // namespace

// As the plug-in started its refresh threads before they became pool work.
double ThreadStartMicroseconds() {
  Span span;
  span.begin = Now();
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return -1;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, &Nothing, nullptr);
  pthread_attr_destroy(&attributes);
  span.end = Now();
  return failed != 0 ? -1 : span.Microseconds();
}

}  // namespace kronel_bench
