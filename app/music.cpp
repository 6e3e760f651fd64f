// Starts and stops the built-in tune through the player.
#include "music.h"

#if LINKMEND_HAVE_MUSIC
#include "builtin_tune.h"
#include "player.h"
#include "sources.h"

void StartMusic() {
    PlayModule(kBuiltinTune, kBuiltinTuneSize, PLAY_FROM_MEMORY);
}

void StopMusic() {
    PlayModule(nullptr, 0, 0);
}
#else
void StartMusic() {}
void StopMusic() {}
#endif
