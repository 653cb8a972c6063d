// process_timer PROGRAM [ARGUMENT...]: runs the program once, its output
// thrown away, and prints how long it took from its start to its exit, in
// microseconds. The program is started with posix_spawn, which does not copy
// the timer's memory as a shell's fork does, so that the figure is the
// program's own start, run and exit rather than the shell's.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <ctime>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: process_timer PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child;
  if (posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ) != 0) {
    fprintf(stderr, "process_timer: cannot start %s\n", argv[1]);
    return 1;
  }
  int status;
  if (waitpid(child, &status, 0) != child) return 1;
  clock_gettime(CLOCK_MONOTONIC, &end);
  printf("%lld\n", static_cast<long long>(end.tv_sec - start.tv_sec) * 1000000 + (end.tv_nsec - start.tv_nsec) / 1000);
  // A run that failed does not count as a time.
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
