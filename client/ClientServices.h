#pragma once

#include "client/ClientState.h"
#include "client/ErrorReporter.h"
#include "client/GameRecorder.h"
#include "client/GameSoundPlayer.h"
#include "client/HostSender.h"
#include "client/MainWindowActions.h"
#include "client/SettingsStore.h"
#include "client/SystemLineWriter.h"

class Prompter;

// Everything the client's parts need from the main window that composes them;
// each part takes only the pieces it uses. The main window implements it all;
// tests give their own.
class ClientServices : public HostSender,
                       public SystemLineWriter,
                       public GameSoundPlayer,
                       public ErrorReporter,
                       public SettingsStore,
                       public MainWindowActions,
                       public GameRecorder {
public:
    virtual ClientState& state() = 0;
    virtual Prompter& prompter() = 0;
    // Without a main window of its own to take care of it, an error is shown
    // at once.
    void reportError(const QString& text) override;
};
