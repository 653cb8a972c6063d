#include <cstdio>

#include "ovxcli_run.h"

int main(int argc, char** argv) {
  // Listings gather their lines in a buffer of their own and cat writes a
  // file in one piece, so stdout keeps its own small buffer: a large one
  // would only copy every listing once more.
  int status = RunOvxcli(argc, argv, stdout, stderr);
  fflush(stdout);
  return status;
}
