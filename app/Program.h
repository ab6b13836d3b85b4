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
class Program {
public:
    struct Options {
        QString tallyPath;      // empty: the user's tally file
        QString iniPath;        // empty: the user's settings file
        QString gamePort = "7772";
    };

    Program(Prompter& prompter, const QStringList& arguments, const Options& options);
    Program(Prompter& prompter, const QStringList& arguments);
    ~Program();

    Tchat& chat() { return *m_chat; }
    const Tchat::Windows& windows() const { return m_chat->windows(); }
    // Writes the tally file (at program end).
    void saveTally();

private:
    std::unique_ptr<Tchat> m_chat;
};
