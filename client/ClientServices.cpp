#include "client/ClientServices.h"

#include "ui/Prompter.h"

void ClientServices::reportError(const QString& text) {
    prompter().message(text);
}
