#pragma once
// Names of the files one running Telvara keeps in the user's runtime folder,
// per device root, so that instances with their own roots (test runs side by
// side) never share a socket: the modem simulator's control socket here. The
// command-line tools find the same names from the same root.

#include <string>
#include <string_view>

namespace telvara::platform {

// "-" and 16 hex digits of the root's FNV-1a hash: stable across runs and
// builds. The root is taken as given (no path normalisation), as the
// single-instance lock takes it.
std::string device_root_tag(std::string_view device_root);

// The device root a program uses when it is given none: $TELVARA_ROOT, else
// $XDG_DATA_HOME/telvara, else ~/.local/share/telvara, without trailing '/'.
std::string default_device_root_from_environment();

// "<runtime folder>/telvara-modem<tag>.sock": the control socket of the
// in-process modem simulator of the Telvara running on `device_root`. Empty
// when there is no safe runtime folder.
std::string sim_control_socket_for(std::string_view device_root);

} // namespace telvara::platform
