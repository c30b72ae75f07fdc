#include "equalizer/editor/DisplayScalePreference.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace equalizer {

namespace {

constexpr const char* kPreferencesSubfolder = "/Corvane Audio/Preferences";
constexpr const char* kFileSuffix = "-display-scale.txt";
constexpr const char* kForbiddenInNames = "\"*/:<>?\\|";
// A first line longer than this holds no zoom.
constexpr size_t kMaxLineBytes = 4096;
// Temporary names tried before a write gives up.
constexpr int kTemporaryNameAttempts = 16;

// An environment variable usable as a folder: set and absolute.
std::string AbsoluteFolderFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/')
        return {};
    std::string folder(value);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string ConfigHome() {
    std::string folder = AbsoluteFolderFromEnvironment("XDG_CONFIG_HOME");
    if (!folder.empty())
        return folder;
    folder = AbsoluteFolderFromEnvironment("HOME");
    return folder.empty() ? std::string() : (folder == "/" ? "" : folder) + "/.config";
}

std::string FileNameFor(const std::string& pluginName) {
    std::string name = pluginName;
    for (char& c : name) {
        if (c != '\0' && std::strchr(kForbiddenInNames, c) != nullptr)
            c = '_';
    }
    return name + kFileSuffix;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Every missing folder of the chain, private to the user as configuration
// folders are.
bool CreateFolderChain(const std::string& folder) {
    for (size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return IsFolder(folder);
}

// The first line of a regular file (without its line feed); false when the
// file cannot be read or the line is too long to be a zoom. A FIFO or a
// device under the file's name is refused rather than waited on.
bool ReadFirstLine(const std::string& path, std::string& line) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    line.clear();
    char buffer[512];
    while (ok) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        const char* end = static_cast<const char*>(std::memchr(buffer, '\n', got));
        line.append(buffer, end != nullptr ? end - buffer : got);
        if (end != nullptr)
            break;
        ok = line.size() <= kMaxLineBytes;
    }
    close(fd);
    return ok && line.size() <= kMaxLineBytes;
}

// strtof in the "C" locale: a host that set a locale with a decimal comma
// must read the same files as every other.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

bool ParseScale(const std::string& line, float& scale) {
    const locale_t c = CLocale();
    if (line.empty() || c == static_cast<locale_t>(0))
        return false;
    const char* begin = line.c_str();
    char* end = nullptr;
    errno = 0;
    const float value = strtof_l(begin, &end, c);
    if (errno == ERANGE || end == begin)
        return false;
    for (const char* rest = end; rest < begin + line.size(); ++rest) {
        if (!std::isspace(static_cast<unsigned char>(*rest)))
            return false; // includes a NUL byte inside the line
    }
    if (!std::isfinite(value) || value <= 0.0f)
        return false;
    scale = value;
    return true;
}

bool WriteAll(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

// A name beside the file that no other writer uses: other processes differ
// in their id, writers of this process in the counter.
std::string TemporaryPathFor(const std::string& folder, const std::string& fileName) {
    static std::atomic<unsigned> counter{0};
    return folder + "/." + fileName + "." + std::to_string(static_cast<long>(getpid())) + "." +
           std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) + ".tmp";
}

} // namespace

std::string DisplayScaleFolder() {
    const std::string home = ConfigHome();
    return home.empty() ? std::string() : home + kPreferencesSubfolder;
}

std::string DisplayScalePath(const std::string& pluginName) {
    const std::string folder = DisplayScaleFolder();
    if (folder.empty() || pluginName.empty())
        return {};
    return folder + "/" + FileNameFor(pluginName);
}

bool ReadDisplayScale(const std::string& pluginName, float& scale) {
    const std::string path = DisplayScalePath(pluginName);
    std::string line;
    return !path.empty() && ReadFirstLine(path, line) && ParseScale(line, scale);
}

bool WriteDisplayScale(const std::string& pluginName, float scale) {
    if (!std::isfinite(scale) || scale <= 0.0f)
        return false;
    const std::string folder = DisplayScaleFolder();
    const std::string path = DisplayScalePath(pluginName);
    if (folder.empty() || path.empty() || !CreateFolderChain(folder))
        return false;

    // "%.4f" of the zoom, without the locale's decimal separator.
    char text[64];
    const std::to_chars_result formatted = std::to_chars(
        text, text + sizeof text - 1, static_cast<double>(scale), std::chars_format::fixed, 4);
    if (formatted.ec != std::errc())
        return false;
    *formatted.ptr = '\n';
    const size_t length = static_cast<size_t>(formatted.ptr + 1 - text);

    const std::string fileName = FileNameFor(pluginName);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string temporary = TemporaryPathFor(folder, fileName);
        const int fd =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue; // left by a writer that died; try the next name
            return false;
        }
        // On the disk before it replaces the old file, so that a crash leaves
        // one whole file or the other.
        bool ok = WriteAll(fd, text, length) && fsync(fd) == 0;
        ok = close(fd) == 0 && ok;
        ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
        if (!ok)
            unlink(temporary.c_str());
        return ok;
    }
    return false;
}

float StoredDisplayScale() {
    float scale = 0.0f;
    if (!ReadDisplayScale(kDisplayScaleName, scale))
        return kDefaultDisplayScale;
    return std::max(std::min(scale, kMaxStoredDisplayScale), kMinStoredDisplayScale);
}

} // namespace equalizer
