#include "kelvo2dos_run.h"

#include "menu_convert.h"
#include "menu_disk.h"

namespace {

void PrintUsage(FILE* out) {
  fputs("KELVO2DOS 1.0 shows directory listings of .XFD and .ATR\n", out);
  fputs("Kelvo menu disk images.\n", out);
  fputs("If the menu item number is also specified then an attempt\n", out);
  fputs("is made to convert that menu item to AtariDOS/MyDOS format\n", out);
  fputs("Comments and reports are welcome at kelvo2dos@orvanta.example\n", out);
  fputs("\n", out);
  fputs("Usage: KELVO2DOS <filename.xfd/atr> [menu item number]\n", out);
}

}  // namespace

int RunKelvo2Dos(int argc, const char* const* argv, FILE* out) {
  if (argc != 2 && argc != 3) {
    PrintUsage(out);
    return 2;
  }
  FILE* image = fopen(argv[1], "rb");
  if (!image) {
    fputs("Disk image file not found\n", out);
    return 1;
  }
  int status = 0;
  if (!ReadMenu(image, out)) {
    status = 1;
  } else {
    PrintMenu(out);
    if (argc == 3) {
      int index = ParseMenuSelection(argv[2]);
      if (index < 0) {
        fputs("\n*** Not a valid menu selection ***\n", out);
        status = 1;
      } else if (!ConvertMenuItem(image, index, out)) {
        status = 1;
      }
    }
  }
  fclose(image);
  return status;
}
