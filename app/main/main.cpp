// Program entry: a lone --help or --version, else the single-instance guard,
// the windows in their fixed order and the event loop until the main window
// closes.
#include "app/Application.h"
#include "app/BoxPrompter.h"
#include "app/FirstPaintProbe.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "protocol/Commands.h"

#include <cstdio>
#include <cstring>

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
    return status;
}
