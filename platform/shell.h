// Starting other programs: the user's browser, and programs by an argument
// vector. Nothing here builds a shell command line out of data.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Starts `argv[0]` (looked up in PATH) with the given arguments and does not
// wait for it; the child is reaped in the background. False when it could not
// be started.
bool SpawnDetached(const std::vector<std::string>& argv);

// Runs `argv[0]` (looked up in PATH) with the given arguments and waits for
// it. `environment` holds "NAME=value" entries that replace or add to this
// process's environment for the child. The child's exit status, 128 + the
// signal that ended it, or -1 when it could not be started.
int RunAndWait(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});

// What a program printed and how it ended.
struct CapturedOutput {
    bool started = false;  // false: the program could not be started
    int status = -1;       // exit status, 128 + the signal that ended it, or -1
    std::string out;
    std::string err;
};

// Runs `argv[0]` (looked up in PATH) with the given arguments, its standard
// input empty, and collects both of its outputs until it ends.
CapturedOutput RunAndCapture(const std::vector<std::string>& argv);

// Opens `url` in the user's default browser (xdg-open). False for an empty
// text, for a text that the opener would take as an option (a leading '-'),
// or when the opener cannot be started.
bool OpenUrl(const std::string& url);

// Tests replace the opener to see what would have been opened; an empty
// handler restores xdg-open. Returns the previous handler.
using UrlOpener = std::function<bool(const std::string& url)>;
UrlOpener SetUrlOpener(UrlOpener opener);

// The directory of the running program, ending with '/' (empty when unknown).
std::string ExecutableDirectory();

// The full path of the running program (empty when unknown).
std::string ExecutablePath();

// The "system directory" that controls are installed into:
// $KEPLIN_SYSTEM_DIR when set, else /usr/local/lib/keplin/system32 for root
// and $XDG_DATA_HOME/keplin/system32 for a user. No trailing '/'.
std::string SystemDirectory();

}  // namespace platform
