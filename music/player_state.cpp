// The player's one global record, with static storage (zero at program start).
#include "player_state.h"

PlayerState gPlayer;
