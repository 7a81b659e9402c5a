// Ctrl-C during a split or a join asks the job to halt before its next track or source,
// as the window program's Cancel button does, so that every file written is whole.
// A second Ctrl-C ends the program at once.
#pragma once

namespace partwell::cli {

void HaltOnFirstInterrupt();
bool InterruptRequested();

}  // namespace partwell::cli
