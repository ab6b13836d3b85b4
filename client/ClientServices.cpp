#include "client/ClientServices.h"

#include "ui/Prompter.h"

// Without a main window of its own to take care of it, an error is shown at
// once.
void ClientServices::reportError(const QString& text) {
    prompter().message(text);
}
