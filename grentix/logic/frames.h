// What the game shows, frame by frame: GameFrame for a running wave, with the
// explosions and the flash of a lost bomb drawn straight on the visible
// surface, and IdleFrame for every other state. Both call the rules at fixed
// points and draw only through the display operations.
#pragma once

// One frame in Playing; after a lost bomb it returns only when the whole
// explosion sequence (at least 400 ms plus 180 ms per live bomb) is over.
void GameFrame();
// One frame in Title, Ready, WaveCleared, BucketLost or GameOver.
void IdleFrame();
// The frame the game state calls for: GameFrame, IdleFrame, or nothing for
// a state value outside the six.
void DrawGameFrame();
