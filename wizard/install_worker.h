// The installation of the kit's controls, run by the wizard's installation
// page on a worker thread that touches no window: the firewall exception for
// the wizard, removal of stale registrations of the two search controls, the
// copy of the kit's "Installocx" folder into the system directory, a batch
// file of regsvr32 lines there, and the search controls registered
// in-process as well. Every failure is silent; with KEPLIN_INSTALL_LOG set,
// each step and its outcome is written to standard error for support.
#pragma once

#include <string>

namespace wizard {

// Starts InstallWorker(module_dir) on a thread of its own and returns at once.
// Nobody waits for the thread; it ends by itself or with the process.
void StartInstallWorker(const std::string& module_dir);

// The whole installation, in order; `module_dir` is the wizard's folder,
// ending with '/'. Returns 0.
unsigned InstallWorker(const std::string& module_dir);

// True for a 32-bit build running on a 64-bit kernel: the controls then go to
// "SysWOW64" beside the system directory.
bool IsWow64();

// Tests decide what IsWow64() answers; null restores the real answer.
// Returns the previous probe.
using Wow64Probe = bool (*)();
Wow64Probe SetWow64Probe(Wow64Probe probe);

// Removes the class keys of both search controls with their direct subkeys
// (a subkey that has subkeys of its own stays, and so does its class key).
void DeleteControlClsids();

// Copies the folder tree `source` into `target` (made when missing); with
// `fail_if_exists` an existing file is kept. Returns the result of the last
// entry handled: 1 copied, 0 failed or nothing to copy.
int CopyFolder(const std::string& source, const std::string& target, bool fail_if_exists);

bool IsDirectory(const std::string& path);

// Loads the control module at `path` and calls its DllRegisterServer. 1 on
// success, and the module then stays loaded; 0 otherwise.
int RegisterControl(const std::string& path, const std::string& name);

}  // namespace wizard
