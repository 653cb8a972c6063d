#include <cstdio>

#include "kelvo2dos_run.h"

int main(int argc, char** argv) {
  int status = RunKelvo2Dos(argc, argv, stdout);
  fflush(stdout);
  return status;
}
