#pragma once

class QString;

// Plays the sounds of the game as the player has chosen them.
class GameSoundPlayer {
public:
    virtual ~GameSoundPlayer() = default;
    // Plays a named game sound when "Play Sounds" is ticked.
    virtual void playsounds(const QString& name) = 0;
    // Options > "Turn Sound" is set to "New".
    virtual bool turnSoundNew() const = 0;
};
