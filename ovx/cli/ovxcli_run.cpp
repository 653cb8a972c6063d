#include "ovxcli_run.h"

#include <cstring>

#include "cat_command.h"
#include "extract_command.h"
#include "info_command.h"
#include "ls_command.h"

namespace {

struct Command {
  const char* name;
  const char* usage;  // the arguments after the command's name
  // Runs with the command's own arguments; returns the exit status
  // (kExitUsage when the arguments do not fit).
  int (*run)(int argc, const char* const* argv, FILE* out, FILE* err);
};

const Command kCommands[] = {
    {"info", "IMAGE", RunInfoCommand},
    {"ls", "[-R] IMAGE [FOLDER]", RunLsCommand},
    {"cat", "IMAGE FOLDER NAME", RunCatCommand},
    {"extract", "[--data-only] [--force] IMAGE DIR [FOLDER]", RunExtractCommand},
};

void PrintUsage(FILE* err) {
  for (const Command& command : kCommands) {
    fprintf(err, "%s ovxcli %s %s\n", &command == kCommands ? "usage:" : "      ", command.name, command.usage);
  }
}

}  // namespace

int RunOvxcli(int argc, const char* const* argv, FILE* out, FILE* err) {
  if (argc >= 2) {
    for (const Command& command : kCommands) {
      if (strcmp(argv[1], command.name) != 0) continue;
      int status = command.run(argc - 2, argv + 2, out, err);
      if (status == kExitUsage) PrintUsage(err);
      return status;
    }
  }
  PrintUsage(err);
  return kExitUsage;
}
