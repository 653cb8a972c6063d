#include <cstdio>

#include "ovxcli_run.h"

int main(int argc, char** argv) {
  int status = RunOvxcli(argc, argv, stdout, stderr);
  fflush(stdout);
  return status;
}
