#pragma once

#include "plugin/IPluginBase.h"
#include "plugin/MidiTypes.h"
#include "plugin/PlugConfig.h"
#include "plugin/SpscQueue.h"
#include "plugin/Timer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace plugin {

// A parameter value computed on the audio thread, on its way to the UI side.
struct ParamUpdate {
    int32_t index = 0;
    double value = 0.0; // real value, not a position
};

// The layer between the plug-in base and a concrete plug-in standard: fills
// identity and editor limits from the construction record, identifies the
// host, runs the idle timer that services the editor, owns the lock-free
// queues between the audio thread and the editor, and routes the editor's
// parameter edits towards the host. A binding derives from it and implements
// the host-facing operations.
//
// Teardown: the idle timer calls virtual hooks, so the most derived class
// should call StopIdleTimer() at the start of its destructor; this class
// stops it again (harmlessly) before anything else of its own goes away.
//
// Idle ticks and set-up calls: without a run loop the timer ticks on a
// thread of its own, so every tick runs under one lock (LockOutIdleTick)
// that a binding also holds around the host's set-up, state and reset calls.
// A tick therefore never runs in the middle of one of them, whichever thread
// it is on.
class IPluginAPIBase : public IPluginBase {
public:
    static constexpr size_t kParamsFromProcessorCapacity = 512;
    static constexpr size_t kMidiQueueCapacity = 32;
    static constexpr size_t kSysExQueueCapacity = 4;
    // Identity texts longer than this are cut.
    static constexpr size_t kMaxIdentityChars = 128;

    // [ui] Does not start the idle timer (CreateIdleTimer does).
    IPluginAPIBase(const PlugConfig& config, int32_t apiKind);
    ~IPluginAPIBase() override;

    // ---- Host identification ----

    // [ui] Stores the host's name, kind and packed version, traces them, then
    // calls PrepareForHost() and OnHostKnown(). A null name reads as "".
    void SetHost(const char* name, int32_t version);
    // [ui] The version as SetHost formatted it, "v<major>.<minor>.<patch>".
    const std::string& HostVersionText() const noexcept { return hostVersionText; }
    // [ui] Hooks run at the end of SetHost, in this order; both empty.
    virtual void PrepareForHost();
    virtual void OnHostKnown();

    // ---- Idle timer ----

    // [ui] Replaces any idle timer by a new one ticking every 20 ms, on
    // runLoop when given and accepted, else on the timer's own thread. Each
    // tick runs IdleTick under LockOutIdleTick(), then AfterIdleTick()
    // without it. Not while holding LockOutIdleTick() (see there).
    void CreateIdleTimer(TimerRunLoop* runLoop = nullptr);
    // [ui] Idempotent; waits for a tick that is running. Not while holding
    // LockOutIdleTick().
    void StopIdleTimer();
    // [ui] Null before CreateIdleTimer.
    Timer* IdleTimer() noexcept { return idleTimer.get(); }
    const Timer* IdleTimer() const noexcept { return idleTimer.get(); }
    // [timer thread, under LockOutIdleTick] With an editor, hands the MIDI and
    // SysEx waiting from the processor to the editor, then always calls
    // OnIdleTimer(). Delivers at most one queue's capacity per queue per tick,
    // so a busy audio thread cannot keep a tick running.
    void IdleTick(Timer& timer);
    // [timer thread, under LockOutIdleTick] Empty by default.
    virtual void OnIdleTimer();
    // [timer thread] After every tick, without the lock: where a binding
    // makes the host calls a tick asked for, since a host may answer them by
    // calling set-up functions, from this thread or another. Empty by default.
    virtual void AfterIdleTick();

    // [ui, timer thread; not audio] Keeps idle ticks out while held:
    // a tick that is due waits until it is released. Recursive, so a set-up
    // call may run hooks that take it again. Never hold it while stopping or
    // moving the idle timer: those wait for a running tick, which would wait
    // for the lock.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> LockOutIdleTick() {
        return std::unique_lock<std::recursive_mutex>(idleTickMutex);
    }
    // [any; never waits] LockOutIdleTick if free; the lock is not owned when
    // a tick (or a set-up call on another thread) holds it.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> TryLockOutIdleTick() {
        return std::unique_lock<std::recursive_mutex>(idleTickMutex, std::try_to_lock);
    }
    // [under LockOutIdleTick] True while the holder of the lock is the idle
    // tick itself.
    bool InsideIdleTick() const noexcept { return insideIdleTick; }

    // ---- Parameters ----

    // [ui] Sets the parameter from a position, tells the host, then
    // OnParamChange(index, UI, -1). Unknown indexes and non-finite positions
    // are ignored.
    void SetParamValueFromEditor(int32_t index, double normalized);
    // [ui] The editor's entry point: SetParamValueFromEditor, then stores the
    // position again and calls OnParamChangeForEditor(index, UI).
    void SetParamFromEditor(int32_t index, double normalized) override;
    // [ui] Bracket and carry an edit to the host.
    virtual void BeginParamGesture(int32_t index) = 0;
    virtual void NotifyHostOfParamValue(int32_t index, double normalized) = 0;
    virtual void EndParamGesture(int32_t index) = 0;
    // [ui] Forward to BeginParamGesture / EndParamGesture.
    void BeginParamEdit(int32_t index) override;
    void EndParamEdit(int32_t index) override;
    // [ui] NotifyHostOfParamValue with every parameter's position, in order.
    void NotifyHostOfAllParams() override;
    // [audio] wait-free, does not allocate. Queues {index, real value}; a
    // position is converted first. Dropped when the queue is full or, for a
    // position, when the index names no parameter.
    void SendParamFromProcessor(int32_t index, double value, bool normalized);

    // ---- Editor size ----

    // [ui] True at once when no platform resize is needed, else asks the host.
    bool RequestEditorResize(int32_t width, int32_t height, bool needsPlatformResize) override;
    // [ui] The host resizes the editor's window; true on success.
    virtual bool ResizeEditorWindow(int32_t width, int32_t height) = 0;

    // ---- MIDI and SysEx from the editor towards the processor ----

    // [ui] Dropped when the queue is full.
    void SendMidiFromUI(const MidiMessage& message) override;
    // [ui] Copies the block (its size limited to 0..512, unused bytes zeroed);
    // dropped when the queue is full.
    void SendSysExFromUI(const SysExBlock& block) override;

    // ---- Track information; a binding answers from the host ----

    // [ui] 0, 0, 0.
    virtual void TrackColour(int32_t& red, int32_t& green, int32_t& blue);
    // [ui] Leave text unchanged.
    virtual void TrackName(std::string& text);
    virtual void TrackNamespace(std::string& text);
    // [ui] 0.
    virtual int32_t TrackIndex();
    virtual int32_t TrackNamespaceIndex();
    // [ui] Clears text and returns false.
    virtual bool GetMidiNoteName(int32_t note, std::string& text);

    // ---- Queues, each with one producer thread and one consumer thread ----

    // producer: audio (SendParamFromProcessor); consumer: none under VST 3.
    SpscQueue<ParamUpdate>& ParamsFromProcessor() noexcept { return paramsFromProcessor; }
    // producer: ui (SendMidiFromUI); consumer: audio.
    SpscQueue<MidiMessage>& MidiFromEditor() noexcept { return midiFromEditor; }
    // producer: audio; consumer: the idle tick.
    SpscQueue<MidiMessage>& MidiFromProcessor() noexcept { return midiFromProcessor; }
    // producer: ui (SendSysExFromUI); consumer: audio.
    SpscQueue<SysExBlock>& SysExFromEditor() noexcept { return sysExFromEditor; }
    // producer: audio; consumer: the idle tick.
    SpscQueue<SysExBlock>& SysExFromProcessor() noexcept { return sysExFromProcessor; }
    // [audio] Where the audio thread copies an editor SysEx before sending it.
    SysExBlock& SysExScratch() noexcept { return sysExScratch; }

    // [any]
    int32_t ApiKind() const noexcept { return apiKind; }
    bool HostMayResize() const noexcept { return hostResize; }
    const std::string& BundleId() const noexcept { return bundleId; }
    const std::string& AppGroupId() const noexcept { return appGroupId; }

protected:
    std::string paramDisplayText; // scratch text for parameter display

private:
    void RunIdleTick(Timer& timer);

    std::string hostVersionText;
    std::recursive_mutex idleTickMutex;
    bool insideIdleTick = false; // guarded by idleTickMutex
    // Declared before the queues: destroyed after them, stopped before them.
    std::unique_ptr<Timer> idleTimer;
    SpscQueue<ParamUpdate> paramsFromProcessor{kParamsFromProcessorCapacity};
    SpscQueue<MidiMessage> midiFromEditor{kMidiQueueCapacity};
    SpscQueue<MidiMessage> midiFromProcessor{kMidiQueueCapacity};
    SpscQueue<SysExBlock> sysExFromEditor{kSysExQueueCapacity};
    SpscQueue<SysExBlock> sysExFromProcessor{kSysExQueueCapacity};
    SysExBlock sysExScratch{};
    SysExBlock idleSysEx{}; // the idle tick's landing place for popped blocks
};

} // namespace plugin
