#pragma once

// The zoom the user last chose for the editor, remembered per user and per
// plug-in across instances and runs of the host, in a one-line text file:
//     $XDG_CONFIG_HOME/Corvane Audio/Preferences/<name>-display-scale.txt
// ($XDG_CONFIG_HOME being ~/.config when unset, empty or not absolute). The
// line is the zoom as "%.4f" (1.25 is "1.2500"), whatever the process's
// locale. Every read goes to the file; every failure is silent and leaves the
// previous file (or none). The file is replaced whole through a temporary
// file and a rename, so readers and other instances writing at the same
// moment never see a part of it: the last writer wins.
//
// UI thread (the environment is read on each call).

#include <string>

namespace equalizer {

// The name the equalizer stores its zoom under.
inline constexpr const char* kDisplayScaleName = "LumaroEQ";
// The zoom without a preference, and the range a stored one is limited to.
inline constexpr float kDefaultDisplayScale = 1.0f;
inline constexpr float kMinStoredDisplayScale = 0.5f;
inline constexpr float kMaxStoredDisplayScale = 4.0f;

// [ui] The folder of the preference files, without a trailing slash; empty
// when neither an absolute $XDG_CONFIG_HOME nor an absolute $HOME is set.
std::string DisplayScaleFolder();

// [ui] The file of a plug-in name: every " * / : < > ? \ | in the name
// becomes _. Empty when the folder is empty or the name is.
std::string DisplayScalePath(const std::string& pluginName);

// [ui] True with the zoom when the file's first line holds one positive,
// finite number (white space around it allowed) and nothing else.
bool ReadDisplayScale(const std::string& pluginName, float& scale);

// [ui] False, with the disk untouched, for a zoom that is not positive and
// finite or an empty path. Creates the missing folders. True once the new
// file is in place.
bool WriteDisplayScale(const std::string& pluginName, float scale);

// [ui] The equalizer's stored zoom within [0.5, 4], or 1 without one.
float StoredDisplayScale();

} // namespace equalizer
