#pragma once

#include "cli/command_line.h"

namespace vellumark::cli {

// undo [RUN]: previews the dates the newest run (or RUN) found, asks, and puts them back where the items
// still carry what the run left, as a run of its own; when the newest run is itself an undo, this redoes
// the run it undid. Returns the exit status.
int runUndo(const CommandLine& line);

// history: the runs in the journal, newest first.
int runHistory(const CommandLine& line);

}  // namespace vellumark::cli
