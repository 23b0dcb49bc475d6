#include "posix/spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

pid_t spawnProgram(const std::vector<std::string>& command, ChildOutput output) {
  if (command.empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (output.out >= 0) posix_spawn_file_actions_adddup2(&actions, output.out, STDOUT_FILENO);
  if (output.err >= 0) posix_spawn_file_actions_adddup2(&actions, output.err, STDERR_FILENO);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}
