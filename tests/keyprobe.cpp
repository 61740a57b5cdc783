// Test helper: reads the console keys the way gensample's loop does and prints each
// key, so a test can drive it through a pseudo-terminal.
//   keyprobe [timeout_ms]
// Prints "READY pid=N" once the console is set up, then "key C" or "ext C" per key,
// and "STOP" on Alt+R, exiting 0 after closing the console keys. Gives up with
// status 3 after the timeout (10 s by default) so a test can never hang on it.
#include "gensample/console_keys.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <unistd.h>

int main(int argc, char** argv) {
  const long timeoutMs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

  auto keys = gensample::OpenConsoleKeys();
  std::printf("READY pid=%ld\n", static_cast<long>(getpid()));
  std::fflush(stdout);

  while (std::chrono::steady_clock::now() < deadline) {
    if (!keys->KeyAvailable()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    // Same steps as TakeStopKey, printing what each poll took.
    const std::uint8_t first = keys->ReadKeyCode();
    if (first != 0) {
      std::printf("key %u\n", static_cast<unsigned>(first));
      std::fflush(stdout);
      continue;
    }
    const std::uint8_t second = keys->ReadKeyCode();
    std::printf("ext %u\n", static_cast<unsigned>(second));
    std::fflush(stdout);
    if (second == gensample::StopKeyCode) {
      keys.reset();
      std::printf("STOP\n");
      std::fflush(stdout);
      return 0;
    }
  }
  std::printf("TIMEOUT\n");
  std::fflush(stdout);
  return 3;
}
