// Temporary files that a save is still writing. A program ended by a signal half-way through
// a save would leave one behind (beside the target, possibly hundreds of megabytes); the
// handler installed here removes them first and then ends the program as the signal would.
#pragma once

#include <string>

// Records `path` as being written; false when every slot is taken (the file is then only
// removed by its writer).
bool RegisterUnfinishedFile(const std::string& path);
void UnregisterUnfinishedFile(const std::string& path);

// Removes every registered file. Async-signal-safe.
void RemoveUnfinishedFiles();

// For SIGHUP, SIGINT, SIGQUIT and SIGTERM, where the program has left the default action:
// remove the unfinished files, then end as that signal does. Programs that handle a signal
// themselves install their handler afterwards.
void RemoveUnfinishedFilesOnSignals();
