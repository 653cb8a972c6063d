// The best score kept from run to run: the file "Grentix.his" in the working
// directory holds game.highScore as exactly 4 bytes, a little-endian signed
// 32-bit integer, with nothing before or after it.
#pragma once

// Sets game.highScore from the file: 0 when it cannot be opened or read. A
// shorter file fills only the low-order bytes; bytes past the fourth are
// ignored.
void LoadHighScore();

// Writes game.highScore to the file, replacing what was there. Failures are
// silent: the score is then simply not kept.
void SaveHighScore();
