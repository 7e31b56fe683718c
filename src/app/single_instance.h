#pragma once
// The single-instance state of the process: finding a running instance and
// handing it this start's command line, and, in the instance that runs,
// answering later starts by queuing their command lines to the application
// window as WM_COPYDATA (data identifier 0), as a window search would.
//
// An instance is one user's program on one device root: the lock and socket
// live in the user's runtime folder and are named after the window-class name
// and the device root, so test runs with their own roots never meet.

#include "platform/messages.h"
#include "platform/text.h"

#include <string>

namespace telvara::app {

inline constexpr char16_t kApplicationName[] = u"Telvara";
// Stands for the empty command line on its way to the running instance.
inline constexpr char16_t kCommandLineEmpty[] = u"%CommandLineEmpty%";

// "RezuvirClass_" + application name.
WString window_class_name(WStringView application_name);

// The empty line travels as kCommandLineEmpty and arrives as the empty line.
WString encode_command_line(WStringView command_line);
WString decode_command_line(WStringView received);

// The lock's and socket's base name for this class name and device root.
std::string instance_name(WStringView class_name, const std::string& device_root);

enum class InstanceCheck {
    OnlyInstance, // go on and start
    HandedOver,   // the running instance has the command line (or raised its box)
    NoAnswer,     // an instance holds the lock but does not answer
    Unsafe,       // the runtime folder or the lock is not this user's alone: no start,
                  // as two instances could then share one device root unseen
};

// Logs and searches as the start-up does. OnlyInstance keeps the lock for
// the rest of the run. `why`, when given, gets what the user should read for
// NoAnswer and Unsafe, and a warning about the runtime folder otherwise.
InstanceCheck check_running_instance(WStringView command_line, WStringView application_name,
                                     std::string* why = nullptr);

// The start-up's form: true when another instance was found.
bool show_running_instance(WStringView command_line, WStringView application_name);

// Once the application window exists: later starts are answered from now on,
// their command lines posted to `window`.
void open_instance_window(platform::TargetRef window);
// Stops answering and gives up the lock (before the window goes away).
void close_single_instance();

// The message a second start's command line arrives as.
platform::Message command_line_message(platform::TargetRef window, WStringView command_line);

} // namespace telvara::app
