#pragma once

#include <QString>

// Where the benchmark programs find the game and the reference program by
// default: the game beside the bench folder of the build, the reference in
// it, both next to this program's own file.
namespace benchpaths {

// The folder of the running program (from /proc/self/exe).
QString ownFolder();
// build/climora, for a program in build/bench/.
QString defaultGame();
// build/bench/bench_minimal_window.
QString defaultMinimal();
// Copies the game into a fresh temporary folder and answers the copy's
// path: the game keeps its settings and tally files beside itself, and the
// benchmark must not leave them in the build folder. The modules beside it
// (sound, router, local-network discovery) go along. Empty on failure.
QString privateCopy(const QString& program, QString* folder);

} // namespace benchpaths
