#include "cli/interrupt.h"

#include <csignal>

namespace partwell::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int signal) {
  interrupted = 1;
  std::signal(signal, SIG_DFL);
}

}  // namespace

void HaltOnFirstInterrupt() { std::signal(SIGINT, OnInterrupt); }

bool InterruptRequested() { return interrupted != 0; }

}  // namespace partwell::cli
