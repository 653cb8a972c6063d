// Writing one menu item out as an Atari DOS load file: the item's sectors
// copied whole, behind the load-file header, followed by the two segments that
// set the init and run vectors.
#pragma once
#include <cstdio>

// Reads a menu item number the way the command line gives it (leading white
// space, optional sign, digits up to the first non-digit). Returns the
// zero-based index of a non-empty item, or -1 for anything else, numbers too
// large for an int included.
int ParseMenuSelection(const char* text);

// Builds the output file name of item index: up to eight letters of the name's
// 3rd to 20th characters, then ".obj". name must hold at least 13 bytes.
void MakeOutputName(int index, char name[13]);

// Writes item index (zero-based, non-empty) of the open image to its output
// file in the current directory, reporting on out. Returns 1 when the whole
// file was written, 0 when it could not be created or the image ended first.
int ConvertMenuItem(FILE* image, int index, FILE* out);
