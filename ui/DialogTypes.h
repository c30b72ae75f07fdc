#pragma once

// Values of the window host's dialogs: message-box type flags and answers
// (the numbers of the standard message box, which plug-ins pass around as
// plain integers), file-dialog actions and the completion functions. Plain
// values; any thread may use them.

#include "ui/EditorTypes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

// The buttons of a message box (the low four bits of its type), its icon
// (the next four) and its default button (the next four).
enum MessageBoxType : int32_t {
    kMessageBoxOk = 0,
    kMessageBoxOkCancel = 1,
    kMessageBoxAbortRetryIgnore = 2,
    kMessageBoxYesNoCancel = 3,
    kMessageBoxYesNo = 4,
    kMessageBoxRetryCancel = 5,
    kMessageBoxCancelTryContinue = 6,
    kMessageBoxButtonsMask = 0x0F,
    kMessageBoxIconError = 0x10,
    kMessageBoxIconQuestion = 0x20,
    kMessageBoxIconWarning = 0x30,
    kMessageBoxIconInformation = 0x40,
    kMessageBoxIconMask = 0xF0,
    kMessageBoxDefaultButton2 = 0x100,
    kMessageBoxDefaultButton3 = 0x200,
    kMessageBoxDefaultButtonMask = 0xF00,
};

// What a message box answers; 0 when it could not be shown.
enum MessageBoxAnswer : int32_t {
    kAnswerNone = 0,
    kAnswerOk = 1,
    kAnswerCancel = 2,
    kAnswerAbort = 3,
    kAnswerRetry = 4,
    kAnswerIgnore = 5,
    kAnswerYes = 6,
    kAnswerNo = 7,
    kAnswerTryAgain = 10,
    kAnswerContinue = 11,
};

// The action of ChooseFile: 1 saves, anything else opens.
enum FileAction : int32_t { kFileOpen = 0, kFileSave = 1 };

// Receives a message box's answer.
using MessageBoxCompletion = std::function<void(int32_t answer)>;
// Receives a chosen file's full path and its directory (with a trailing
// "/"), or, from ChooseDirectory, an empty name and the directory.
using FileChosenFunction =
    std::function<void(const std::string& fileName, const std::string& path)>;
// Receives a chosen colour.
using ColourChosenFunction = std::function<void(const IColour& colour)>;

} // namespace ui
