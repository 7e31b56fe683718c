#pragma once
// Path variables ("%app_path%", "%my_documents%", ...) and the mapping of the
// program's backslash paths onto Linux file names.

#include "platform/text.h"

#include <string>

namespace telvara::runtime {

// The path with its leading variable replaced and every "/" after it written
// as "\". Device-absolute paths ("\Temp\x") stay as they are here.
WString expand_path(WStringView path);

// The full path of the running executable (from /proc/self/exe).
WString get_app_path();

// A Linux file name (UTF-8) for an expanded path: "\" becomes "/", and a
// device-absolute path ("\Temp\x") is placed under the device root.
std::string native_path(WStringView expanded);

// expand_path followed by native_path: what every file open goes through.
std::string file_path(WStringView path);

// The folder that stands for the device's own file system root. Default:
// $TELVARA_ROOT, else $XDG_DATA_HOME/telvara, else ~/.local/share/telvara.
// set_device_root also re-binds the settings store and the log to the new
// root; call it before other threads use either (start-up, tests).
const std::string& device_root();
void set_device_root(std::string root);

// The executable's path split as "%app_full_name%", "%app_path%" and
// "%app_name%" use it: folder and name around the last "\" or "/". The real
// one's folder is the program folder (program_folder below).
struct ModulePaths {
    WString full_name;
    WString folder;
    WString name;
};

// A module path of 1,024 characters or more is a fatal error.
ModulePaths split_module_path(WStringView full_name);

// The program folder ("%app_path%") of a binary in `binary_folder`: an
// installed tree's data folder (share/telvara beside bin/) when there is one,
// else the binary's own folder, as in the build tree.
std::string program_folder(const std::string& binary_folder);

// expand_path with given module paths (the real ones are read once per run).
WString expand_path(WStringView path, const ModulePaths& module);

} // namespace telvara::runtime
