#pragma once

namespace vellumark::cli {

// The whole program: reads the command line, then previews, asks, applies and reports an action, puts
// back a run from the journal (undo), or lists the runs (history). Returns the exit status: 0 when every
// write succeeded or there was nothing to do, 1 when some failed or were left as they are, or the journal
// stood in the way, 2 for a command line that cannot be followed.
int runCli(int argc, char** argv);

}  // namespace vellumark::cli
