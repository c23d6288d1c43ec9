#pragma once

namespace vellumark::cli {

// The whole program: reads the command line, previews, asks, applies and reports. Returns the exit
// status: 0 when every write succeeded or there was nothing to do, 1 when some failed, 2 for a command
// line that cannot be followed.
int runCli(int argc, char** argv);

}  // namespace vellumark::cli
