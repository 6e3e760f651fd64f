// The background music as the program uses it: the built-in tune from start to close.
#pragma once

// Starts the built-in tune looping on the player's own thread. Without a sound device the
// program simply runs silent.
void StartMusic();

// Stops the tune and releases everything the player holds.
void StopMusic();
