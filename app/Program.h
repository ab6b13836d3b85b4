#pragma once

#include "app/Tchat.h"

#include <QStringList>

#include <memory>

class Prompter;
class Ttallylist;

// The program's windows, created in their fixed order: the main window, then
// the About, spy list, help, phrase editor and tally windows, the hidden
// server, the download dialog and the game start dialog. Every later window
// may use the ones made before it.
//
// Only the main window is made at once. The others, all hidden at first,
// follow right after its first paint (before it reads its command line), so
// that the window appears without waiting for them; asking for them makes
// them at once.
class Program {
public:
    struct Options {
        QString tallyPath; // empty: the user's tally file
        QString iniPath;   // empty: the user's settings file
        QString gamePort = "7772";
        bool networkServices = true; // false: no router forwarding, no announcing or finding games
    };

    Program(Prompter& prompter, const QStringList& arguments, const Options& options);
    Program(Prompter& prompter, const QStringList& arguments);
    ~Program();

    Tchat& chat() { return *m_chat; }
    // The windows after the main one, made now if they are not yet.
    const Tchat::Windows& windows();
    bool windowsMade() const { return m_windowsMade; }
    // Writes the tally file (at program end).
    void saveTally();
    // The arguments to start the program with again once it has ended, when
    // the player chose to host or join from the "Play with Others" window.
    bool restartRequested() const { return m_chat->restartRequested(); }
    QStringList restartArguments() const { return m_chat->restartArguments(); }

private:
    void makeWindows();

    Prompter& m_prompter;
    Options m_options;
    bool m_windowsMade = false;
    std::unique_ptr<Tchat> m_chat;
};
