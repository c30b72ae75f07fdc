#pragma once

namespace plugin {

// Marks the current thread as running a process call for as long as the scope
// lives. Code that is reached from both the UI thread and the audio thread
// (parameter changes, for instance) asks IsAudioThread() to decide whether it
// may touch DSP state directly or must hand the change over.
//
// [any] wait-free, does not allocate.
class AudioThreadScope {
public:
    AudioThreadScope() noexcept;
    ~AudioThreadScope();
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

private:
    bool previous;
};

// [any] True inside an AudioThreadScope on this thread.
bool IsAudioThread() noexcept;

} // namespace plugin
