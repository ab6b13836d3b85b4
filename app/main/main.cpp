// Program entry: a lone --help or --version, else the single-instance guard,
// the windows in their fixed order and the event loop until the main window
// closes. When the player chose to host or join from the "Play with Others"
// window, the program then starts again in its new role, in this process,
// once everything of the old run (the guard included) is gone.
#include "app/Application.h"
#include "app/BoxPrompter.h"
#include "app/FirstPaintProbe.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "protocol/Commands.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {
const char usage[] = "Usage: climora [NAME HOST-ADDRESS ROLE]\n"
                     "\n"
                     "A dice race up eleven columns for up to four players.\n"
                     "\n"
                     "Without arguments, hosts a solo game on this machine as \"You\" against the\n"
                     "computer player.\n"
                     "  NAME          the name shown to the other players\n"
                     "  HOST-ADDRESS  dotted IPv4 address or host name of the host to join\n"
                     "  ROLE          exactly \"true\" to host the game (on TCP port 7772);\n"
                     "                anything else joins HOST-ADDRESS\n"
                     "\n"
                     "  --help        show this text and exit\n"
                     "  --version     show the version and exit\n";

// Runs the program until its main window closes. `restart` receives the
// command line of the next start when the player asked for one.
int run(int& argc, char** argv, std::optional<QStringList>& restart) {
    Application app(argc, argv);
    SingleInstance guard;
    if (!guard.acquire())
        return 0; // the running copy has been asked to come forward

    BoxPrompter prompter;
    app.setPrompter(&prompter);
    Program program(prompter, app.arguments().mid(1));
    prompter.setParent(&program.chat());
    guard.setWindow(&program.chat());

    FirstPaintProbe::watchIfAsked(&program.chat());
    program.chat().show();
    const int status = app.exec();
    program.saveTally();
    if (program.restartRequested())
        restart = program.restartArguments();
    return status;
}

// Replaces this process with the program started with `arguments`; returns
// only when that failed.
void startAgain(const char* name, const QStringList& arguments) {
    std::vector<QByteArray> texts{QByteArray(name)};
    for (const QString& argument : arguments)
        texts.push_back(QFile::encodeName(argument));
    std::vector<char*> pointers;
    for (QByteArray& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    ::execv("/proc/self/exe", pointers.data());
    std::fprintf(stderr, "climora: could not start again: %s\n", std::strerror(errno));
}
} // namespace

int main(int argc, char** argv) {
    // These answer before any window is made and without the guard.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", cmd::version);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }

    std::optional<QStringList> restart;
    const int status = run(argc, argv, restart);
    if (!restart)
        return status;
    startAgain(argv[0], *restart);
    return 1;
}
