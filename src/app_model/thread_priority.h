#pragma once

namespace vellumark {

// Lowers the priority of the calling thread, for work done in the background, to a fixed step below the
// thread that runs the window: where its threads keep every core busy, the window's thread still runs as
// soon as it has an event to handle. Does nothing where threads have no priority of their own.
void runInBackground();

}  // namespace vellumark
