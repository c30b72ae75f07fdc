#pragma once

// What the desktop's choosers are asked and what their answers become,
// without talking to them: the extension filter, the chooser request, the
// command lines of zenity and kdialog, their answers read back (paths and
// colours), and the write-back of a chosen file or folder.

#include "ui/EditorTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

struct FileFilter {
    std::vector<std::string> extensions; // "wav", "aif"
    std::string pattern;                 // "*.wav;*.aif": also the filter's name
    std::string defaultExtension;        // the first extension

    bool Empty() const { return extensions.empty(); }
    // Shell globs that match the extensions in any letter case
    // ("*.[wW][aA][vV]"), as file names on Linux are case-sensitive and the
    // filter is not meant to be.
    std::vector<std::string> Globs() const;
};

// [any] A space-separated extension list ("wav aif") as a filter.
FileFilter BuildFileFilter(const char* extensions);

enum class ChooserKind { OpenFile, SaveFile, Directory };

struct FileChooserRequest {
    ChooserKind kind = ChooserKind::OpenFile;
    std::string title;
    std::string folder; // where the chooser starts; may be empty
    std::string name;   // the proposed file name (no folder)
    FileFilter filter;
    uint32_t parentWindow = 0; // the X window the chooser belongs to, 0 for none
};

// [any] The request of ChooseFile: fileName may be a bare name or a path
// (its folder is used when path is empty).
FileChooserRequest MakeFileRequest(const std::string& fileName, const std::string& path,
                                   int32_t action, const char* extensions);
// [any] The request of ChooseDirectory.
FileChooserRequest MakeDirectoryRequest();

struct FileChoice {
    std::string fileName;  // the full path; empty when cancelled
    std::string directory; // its folder, ending with "/"
};

// [any] What a chosen path writes back: a saved name without an extension
// gets the default one; the folder keeps its trailing "/". An empty or
// relative path is a cancel.
FileChoice FileChoiceFor(const std::string& chosen, const FileChooserRequest& request);
// [any] A chosen folder with its trailing "/"; empty stays empty.
std::string DirectoryChoiceFor(const std::string& chosen);

// [any] The helpers' command lines (argv, the program first).
std::vector<std::string> ZenityFileArguments(const FileChooserRequest& request);
std::vector<std::string> KdialogFileArguments(const FileChooserRequest& request);
std::vector<std::string> ZenityColourArguments(const IColour& start, const std::string& title);
std::vector<std::string> KdialogColourArguments(const IColour& start, const std::string& title,
                                                uint32_t parentWindow);

// [any] A helper's printed answer: its first line.
std::string FirstLine(const std::string& output);
// [any] A printed colour ("#rrggbb", "#rgb", "rgb(r,g,b)", "rgba(r,g,b,a)")
// into red, green and blue (alpha is left alone). False, and the colour
// untouched, for anything else.
bool ParseColourAnswer(const std::string& output, IColour& colour);
// [any] "#rrggbb" of the colour's red, green and blue.
std::string ColourHex(const IColour& colour);

// [any] The file: URI of an absolute path, percent-encoded (RFC 8089).
std::string FileUri(const std::string& path);
// [any] The folder a path is in ("/a/b.wav" and "/a/b/" -> "/a", "/b" -> "/").
std::string ParentFolder(const std::string& path);

} // namespace ui
