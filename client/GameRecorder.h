#pragma once

class QString;

// Keeps the tally of finished games.
class GameRecorder {
public:
    virtual ~GameRecorder() = default;
    // Records a finished game in the tally: the winner's name or "addtomine".
    virtual void recordGame(const QString& winner) = 0;
};
