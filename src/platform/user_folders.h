#pragma once
// The user's environment as the program reads it: a variable (empty when
// unset) and the home folder ($HOME, else the password database).

#include <string>

namespace telvara::platform {

std::string environment_variable(const char* name);
std::string home_folder();

} // namespace telvara::platform
