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

void PrintHelp(FILE* out) {
  fputs("ovxcli lists, reads and takes out the files of disk images of older computers.\n\n", out);
  PrintUsage(out);
  fputs("\n"
        "  info     the file system found, the block where it starts, the header skipped, the size\n"
        "  ls       a folder's files and folders, one a line; -R every folder below it too\n"
        "  cat      a file's bytes to standard output (a Macintosh file's data fork, or its\n"
        "           resource fork when the data fork is empty)\n"
        "  extract  every folder and file below FOLDER into the host folder DIR, Macintosh\n"
        "           resource forks and Finder information in AppleDouble \"._\" files\n"
        "\n"
        "Formats: Mac OS Extended (HFS+ and HFSX, also inside an HFS wrapper), HFS and MFS,\n"
        "also behind an Apple partition map; FAT12 and FAT16 (MS-DOS, Atari ST); Atari DOS 2\n"
        "and MyDOS. Images may carry a Disk Copy 4.2 or ATR header.\n"
        "\n"
        "Exit status: 0 done; 1 the image, folder or file cannot be opened or read, or\n"
        "something could not be written; 2 the arguments do not fit.\n",
        out);
}

}  // namespace

int RunOvxcli(int argc, const char* const* argv, FILE* out, FILE* err) {
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    PrintHelp(out);
    return kExitOk;
  }
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
