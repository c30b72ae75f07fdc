#pragma once

#include <string>
#include <vector>

namespace render {

// The folders lumaro-render looks in for its bundle when --plugin is not
// given, in order, as a Linux host scans them: the build tree it was built
// in (skipped once it is gone), then ~/.vst3 (when HOME is set),
// /usr/local/lib/vst3 and /usr/lib/vst3.
std::vector<std::string> DefaultBundleFolders(const std::string& buildTree, const char* home);

// The first folder whose bundleName is a bundle a host could load (its
// Contents/x86_64-linux/ library is a file; a bundle folder left empty by a
// half-finished removal does not count). Empty, with an error naming every
// folder looked in, when none has one.
std::string FindBundle(const std::vector<std::string>& folders, const std::string& bundleName,
                       std::string& error);

} // namespace render
