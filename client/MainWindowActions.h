#pragma once

// What the client's parts ask of the main window's own windows and menus.
class MainWindowActions {
public:
    virtual ~MainWindowActions() = default;
    // Sets the check mark of Options > "Just Watch".
    virtual void setJustWatchTicked(bool ticked) = 0;
    // Opens the game start dialog.
    virtual void showGameStart() = 0;
    // Closes the main window, which ends the program.
    virtual void closeMainWindow() = 0;
};
