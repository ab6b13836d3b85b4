#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The program's optional parts (sound, the home router, games on the local
// network) live in shared objects loaded with their first use, so that a
// plain start loads none of their libraries. A module is looked for beside
// the program file (the build folder), then in lib/climora/ relative to the
// program's bin/ folder (an installed program).
namespace ModuleLoader {

// The places a module of that file name is looked for, in order.
QStringList defaultPaths(const QString& fileName);

// Tries the candidates in order: the first one that exists, opens, has the
// factory symbol and whose factory makes its object wins. make is called with
// the factory's address and answers whether the factory made the object (a
// module of another version refuses). A module, once opened, is never closed:
// objects it made, and Qt's pointers to their meta-objects, live to the end.
// On failure error says why, naming every candidate tried; kind names the
// module in that text ("an audio module").
bool load(const QStringList& candidates, const char* symbol, const QString& kind,
          const std::function<bool(void* factory)>& make, QString& error);

} // namespace ModuleLoader
