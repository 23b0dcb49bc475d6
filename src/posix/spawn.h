#pragma once
// Starting a program for tests, benchmarks and tools: the one place that sets
// up a child's standard streams. The child reads /dev/null, so that one that
// waits for input never hangs whoever started it.
#include <sys/types.h>

#include <string>
#include <vector>

struct ChildOutput {
  // The descriptor the child's stdout and stderr become; -1 keeps ours.
  int out = -1;
  int err = -1;
};

// Starts `command[0]` (a path, not looked up) with the words that follow as
// its arguments and this process's environment. Returns the child's process
// id, or -1 when it could not be started.
pid_t spawnProgram(const std::vector<std::string>& command, ChildOutput output);
