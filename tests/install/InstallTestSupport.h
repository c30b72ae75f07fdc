#pragma once

// Programs run as a user runs them, and the files they leave behind.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace install_test {

struct CommandResult {
    int exitStatus = -1; // the exit code, or 128 + signal number
    std::string output;  // standard output and standard error, interleaved
};

// Runs arguments[0] (looked up on PATH) with the environment variables of
// environment set on top of this process's; stdin is /dev/null.
CommandResult RunCommand(const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {});

// Every file (and symbolic link) below root, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::filesystem::path& root);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// A fresh folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return folder; }

private:
    std::filesystem::path folder;
};

} // namespace install_test
