#include "plugin/AudioThread.h"

namespace plugin {

namespace {
// Initial-exec: the module is loaded at run time, and a thread-local of the
// default (dynamic) model is allocated through __tls_get_addr the first time
// each thread that existed before the load touches it, which would be the
// first process call on the host's audio thread. Initial-exec puts it in the
// static TLS block every thread already has (glibc keeps room there for
// modules loaded later), so touching it never allocates.
[[gnu::tls_model("initial-exec")]] thread_local bool onAudioThread = false;
} // namespace

AudioThreadScope::AudioThreadScope() noexcept : previous(onAudioThread) {
    onAudioThread = true;
}

AudioThreadScope::~AudioThreadScope() {
    onAudioThread = previous;
}

bool IsAudioThread() noexcept {
    return onAudioThread;
}

} // namespace plugin
