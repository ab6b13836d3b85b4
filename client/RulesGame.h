#pragma once

#include "game/Game.h"

class TableModel;

// The table as the client's model shows it (board, dice, markers in use and
// the use-all rule), as a game of the rules, so that the rules themselves
// judge what the client offers or counts: the column a pair of dice can
// take, the odds of a roll, a player's next move.
Game rulesGame(const TableModel& model);
