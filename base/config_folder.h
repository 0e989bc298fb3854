#pragma once
// The user's configuration folder for this program, shared by the settings
// of an installed copy and the port aliases.

#include <string>
#include <string_view>

namespace vorna {

// `name` inside `folder`, with one separator between them (the last one
// the folder holds, '/' when it holds none); `name` alone when there is no
// folder.
std::string JoinPath(std::string_view folder, std::string_view name);

// $XDG_CONFIG_HOME/vorna, or $HOME/.config/vorna when XDG_CONFIG_HOME is
// unset, empty or relative (as the XDG base-directory rules say). Empty
// when neither is usable.
std::string UserConfigFolder(std::string_view xdgConfigHome, std::string_view home);

// A variable of this process's environment; empty when it is unset.
std::string_view EnvironmentValue(const char* name);

// UserConfigFolder from this process's environment.
std::string UserConfigFolder();

}  // namespace vorna
