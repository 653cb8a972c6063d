#include <cstdio>

#include "ovxcli_run.h"

int main(int argc, char** argv) {
  // Listings of large volumes run to tens of thousands of lines.
  static char outputBuffer[1 << 16];
  setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  int status = RunOvxcli(argc, argv, stdout, stderr);
  fflush(stdout);
  return status;
}
