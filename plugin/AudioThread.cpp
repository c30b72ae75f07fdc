#include "plugin/AudioThread.h"

namespace plugin {

namespace {
thread_local bool onAudioThread = false;
}

AudioThreadScope::AudioThreadScope() noexcept : previous(onAudioThread) { onAudioThread = true; }

AudioThreadScope::~AudioThreadScope() { onAudioThread = previous; }

bool IsAudioThread() noexcept { return onAudioThread; }

} // namespace plugin
