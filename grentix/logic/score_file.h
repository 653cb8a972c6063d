// The best score kept from run to run: the file "Grentix.his" in the working
// directory holds game.highScore as exactly 4 bytes, a little-endian signed
// 32-bit integer, with nothing before or after it.
#pragma once

// Sets game.highScore from the file: 0 when it is missing or cannot be read.
// A shorter file fills only the low-order bytes; bytes past the fourth are
// ignored. Where a save was cut short, the score kept aside is read instead
// of a missing or short file.
void LoadHighScore();

// Writes game.highScore to a new file that then replaces the old one (in one
// step where the system can, else keeping the old one aside until the new
// one is in place), so a failed write keeps the stored score. A file that
// LoadHighScore found but could not read is left alone. Failures are silent.
void SaveHighScore();
