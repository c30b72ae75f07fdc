#include "tools/render/BundleSearch.h"

#include "host/Module.h"

#include <filesystem>

namespace render {

std::vector<std::string> DefaultBundleFolders(const std::string& buildTree, const char* home) {
    std::vector<std::string> folders;
    std::error_code ignored;
    if (!buildTree.empty() && std::filesystem::is_directory(buildTree, ignored))
        folders.push_back(buildTree);
    if (home != nullptr && home[0] != '\0')
        folders.push_back((std::filesystem::path(home) / ".vst3").string());
    folders.push_back("/usr/local/lib/vst3");
    folders.push_back("/usr/lib/vst3");
    return folders;
}

std::string FindBundle(const std::vector<std::string>& folders, const std::string& bundleName,
                       std::string& error) {
    for (const std::string& folder : folders) {
        const std::string bundle = (std::filesystem::path(folder) / bundleName).string();
        std::error_code ignored;
        if (std::filesystem::is_directory(bundle, ignored) &&
            std::filesystem::is_regular_file(vst3host::Module::LibraryPathFor(bundle), ignored))
            return bundle;
    }
    std::string list;
    for (std::size_t i = 0; i < folders.size(); ++i)
        list += (i == 0 ? "" : i + 1 == folders.size() ? " or " : ", ") + folders[i];
    error = "no \"" + bundleName + "\" in " + (folders.empty() ? "any folder" : list) +
            " (--plugin names a bundle elsewhere)";
    return {};
}

} // namespace render
