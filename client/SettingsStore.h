#pragma once

// The settings file of the player's preferences.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Reads the settings file (at the own login) and writes every setting.
    virtual void loadSettings() = 0;
    virtual void saveSettings() = 0;
};
