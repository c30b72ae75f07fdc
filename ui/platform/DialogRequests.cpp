#include "ui/platform/DialogRequests.h"

#include "ui/DialogTypes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace ui {

namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a chooser starts: the folder with the proposed name in it.
std::string StartPath(const FileChooserRequest& request) {
    std::string start = request.folder;
    if (!start.empty() && start.back() != '/')
        start += '/';
    if (request.kind != ChooserKind::Directory)
        start += request.name;
    return start;
}

bool ReadComponent(const std::string& text, size_t& i, double& value) {
    while (i < text.size() && text[i] == ' ')
        ++i;
    const char* begin = text.c_str() + i;
    char* end = nullptr;
    value = std::strtod(begin, &end);
    if (end == begin)
        return false;
    i += static_cast<size_t>(end - begin);
    while (i < text.size() && text[i] == ' ')
        ++i;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

int32_t Channel(double value) {
    return static_cast<int32_t>(std::clamp(value, 0.0, 255.0) + 0.5);
}

} // namespace

std::vector<std::string> FileFilter::Globs() const {
    std::vector<std::string> globs;
    for (const std::string& extension : extensions) {
        std::string glob = "*.";
        for (char c : extension) {
            if (IsLetter(c))
                glob += std::string("[") + Lower(c) + Upper(c) + "]";
            else if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\')
                glob += std::string("\\") + c;
            else
                glob += c;
        }
        globs.push_back(std::move(glob));
    }
    return globs;
}

FileFilter BuildFileFilter(const char* list) {
    FileFilter filter;
    const std::string text = list != nullptr ? list : "";
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        const size_t end = std::min(text.find(' ', i), text.size());
        if (end > i)
            filter.extensions.push_back(text.substr(i, end - i));
        i = end;
    }
    for (const std::string& extension : filter.extensions) {
        if (!filter.pattern.empty())
            filter.pattern += ';';
        filter.pattern += "*." + extension;
    }
    if (!filter.extensions.empty())
        filter.defaultExtension = filter.extensions.front();
    return filter;
}

FileChooserRequest MakeFileRequest(const std::string& fileName, const std::string& path,
                                   int32_t action, const char* extensions) {
    FileChooserRequest request;
    request.kind = action == kFileSave ? ChooserKind::SaveFile : ChooserKind::OpenFile;
    request.title = action == kFileSave ? "Save File" : "Open File";
    request.folder = path;
    request.name = NameOf(fileName);
    const size_t slash = fileName.rfind('/');
    if (request.folder.empty() && slash != std::string::npos)
        request.folder = fileName.substr(0, slash + 1);
    request.filter = BuildFileFilter(extensions);
    return request;
}

FileChooserRequest MakeDirectoryRequest() {
    FileChooserRequest request;
    request.kind = ChooserKind::Directory;
    request.title = "Choose a Directory";
    return request;
}

FileChoice FileChoiceFor(const std::string& chosen, const FileChooserRequest& request) {
    FileChoice choice;
    if (chosen.empty() || chosen.front() != '/' || chosen.back() == '/')
        return choice;
    choice.fileName = chosen;
    if (request.kind == ChooserKind::SaveFile && !request.filter.defaultExtension.empty() &&
        NameOf(chosen).find('.') == std::string::npos)
        choice.fileName += "." + request.filter.defaultExtension;
    choice.directory = choice.fileName.substr(0, choice.fileName.rfind('/') + 1);
    return choice;
}

std::string DirectoryChoiceFor(const std::string& chosen) {
    if (chosen.empty() || chosen.front() != '/')
        return "";
    return chosen.back() == '/' ? chosen : chosen + "/";
}

std::vector<std::string> ZenityFileArguments(const FileChooserRequest& request) {
    std::vector<std::string> args{"zenity", "--file-selection", "--title=" + request.title};
    if (request.kind == ChooserKind::SaveFile) {
        args.emplace_back("--save");
        args.emplace_back("--confirm-overwrite");
    } else if (request.kind == ChooserKind::Directory) {
        args.emplace_back("--directory");
    }
    const std::string start = StartPath(request);
    if (!start.empty())
        args.push_back("--filename=" + start);
    if (request.kind != ChooserKind::Directory && !request.filter.Empty()) {
        std::string globs;
        for (const std::string& glob : request.filter.Globs())
            globs += (globs.empty() ? "" : " ") + glob;
        args.push_back("--file-filter=" + request.filter.pattern + " | " + globs);
    }
    return args;
}

std::vector<std::string> KdialogFileArguments(const FileChooserRequest& request) {
    std::vector<std::string> args{"kdialog", "--title", request.title};
    if (request.parentWindow != 0) {
        args.emplace_back("--attach");
        args.push_back(std::to_string(request.parentWindow));
    }
    switch (request.kind) {
    case ChooserKind::SaveFile:
        args.emplace_back("--getsavefilename");
        break;
    case ChooserKind::Directory:
        args.emplace_back("--getexistingdirectory");
        break;
    default:
        args.emplace_back("--getopenfilename");
        break;
    }
    const std::string start = StartPath(request);
    args.push_back(start.empty() ? "." : start);
    if (request.kind != ChooserKind::Directory && !request.filter.Empty()) {
        std::string globs;
        for (const std::string& glob : request.filter.Globs())
            globs += (globs.empty() ? "" : " ") + glob;
        args.push_back(globs + "|" + request.filter.pattern);
    }
    return args;
}

std::vector<std::string> ZenityColourArguments(const IColour& start, const std::string& title) {
    std::vector<std::string> args{"zenity", "--color-selection", "--color=" + ColourHex(start)};
    if (!title.empty())
        args.push_back("--title=" + title);
    return args;
}

std::vector<std::string> KdialogColourArguments(const IColour& start, const std::string& title,
                                                uint32_t parentWindow) {
    std::vector<std::string> args{"kdialog", "--getcolor", "--default", ColourHex(start)};
    if (!title.empty()) {
        args.emplace_back("--title");
        args.push_back(title);
    }
    if (parentWindow != 0) {
        args.emplace_back("--attach");
        args.push_back(std::to_string(parentWindow));
    }
    return args;
}

std::string FirstLine(const std::string& output) {
    std::string line = output.substr(0, output.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool ParseColourAnswer(const std::string& output, IColour& colour) {
    std::string text = FirstLine(output);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    if (!text.empty() && text[0] == '#') {
        const std::string digits = text.substr(1);
        if (digits.size() != 3 && digits.size() != 6)
            return false;
        int values[6];
        for (size_t i = 0; i < digits.size(); ++i)
            if ((values[i] = HexDigit(digits[i])) < 0)
                return false;
        const bool shortForm = digits.size() == 3;
        const auto channel = [&](size_t k) {
            return shortForm ? values[k] * 17 : values[2 * k] * 16 + values[2 * k + 1];
        };
        colour.R = channel(0);
        colour.G = channel(1);
        colour.B = channel(2);
        return true;
    }
    size_t i = 0;
    if (text.compare(0, 5, "rgba(") == 0)
        i = 5;
    else if (text.compare(0, 4, "rgb(") == 0)
        i = 4;
    else
        return false;
    double rgb[3];
    for (size_t k = 0; k < 3; ++k) {
        if (!ReadComponent(text, i, rgb[k]) || i >= text.size())
            return false;
        if (k < 2) {
            if (text[i] != ',')
                return false;
            ++i;
        } else if (text[i] == ',') {
            // rgba: an alpha follows, which the colour does not take.
            double alpha = 0.0;
            ++i;
            if (!ReadComponent(text, i, alpha) || i >= text.size() || text[i] != ')')
                return false;
        } else if (text[i] != ')') {
            return false;
        }
    }
    colour.R = Channel(rgb[0]);
    colour.G = Channel(rgb[1]);
    colour.B = Channel(rgb[2]);
    return true;
}

std::string ColourHex(const IColour& colour) {
    char hex[8];
    std::snprintf(hex, sizeof(hex), "#%02x%02x%02x", std::clamp(colour.R, 0, 255),
                  std::clamp(colour.G, 0, 255), std::clamp(colour.B, 0, 255));
    return hex;
}

std::string FileUri(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved =
            std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (unreserved && byte < 0x80) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

std::string ParentFolder(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

} // namespace ui
