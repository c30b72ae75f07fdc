#include "plugin/IPluginAPIBase.h"

#include "plugin/HostKind.h"
#include "plugin/Trace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace plugin {

namespace {

std::string CopyIdentity(const char* text) {
    if (text == nullptr) {
        return {};
    }
    const void* end = std::memchr(text, '\0', IPluginAPIBase::kMaxIdentityChars);
    const size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text)
                                         : IPluginAPIBase::kMaxIdentityChars;
    return std::string(text, length);
}

} // namespace

IPluginAPIBase::IPluginAPIBase(const PlugConfig& config, int32_t kind)
    : IPluginBase(config.paramCount, config.presetCount) {
    uniqueId = config.uniqueId;
    manufacturerId = config.manufacturerId;
    vendorVersion = config.vendorVersion;
    pluginName = CopyIdentity(config.pluginName);
    productName = CopyIdentity(config.productName);
    manufacturerName = CopyIdentity(config.manufacturerName);
    hasUI = config.hasEditor;
    hostResize = config.hostResize;
    stateChunks = config.stateChunks;
    apiKind = kind;
    bundleId = CopyIdentity(config.bundleId);
    appGroupId = CopyIdentity(config.appGroupId);

    editorWidth = config.editorWidth;
    editorHeight = config.editorHeight;
    // The limits may be given in either order.
    minWidth = std::min(config.minWidth, config.maxWidth);
    maxWidth = std::max(config.minWidth, config.maxWidth);
    minHeight = std::min(config.minHeight, config.maxHeight);
    maxHeight = std::max(config.minHeight, config.maxHeight);
}

IPluginAPIBase::~IPluginAPIBase() {
    StopIdleTimer();
}

// ---- Host identification ----

void IPluginAPIBase::SetHost(const char* name, int32_t version) {
    hostName = name != nullptr ? name : "";
    hostKind = LookUpHostKind(hostName.c_str());
    hostVersion = version;

    char text[40];
    std::snprintf(text, sizeof text, "v%d.%d.%d", version >> 16, (version >> 8) & 0xFF,
                  version & 0xFF);
    hostVersionText = text;
    Trace("plugin::IPluginAPIBase::SetHost", "host_%sknown:%s:%s",
          hostKind == HostKind::Unknown ? "un" : "", hostName.c_str(), hostVersionText.c_str());

    PrepareForHost();
    OnHostKnown();
}

void IPluginAPIBase::PrepareForHost() {}

void IPluginAPIBase::OnHostKnown() {}

// ---- Idle timer ----

void IPluginAPIBase::CreateIdleTimer(TimerRunLoop* runLoop) {
    idleTimer.reset(); // the old timer is stopped before the new one starts
    idleTimer = std::make_unique<Timer>([this](Timer& timer) { RunIdleTick(timer); },
                                        Timer::kIdlePeriodMs, runLoop);
}

void IPluginAPIBase::RunIdleTick(Timer& timer) {
    {
        const auto lock = LockOutIdleTick();
        insideIdleTick = true;
        IdleTick(timer);
        insideIdleTick = false;
    }
    AfterIdleTick();
}

void IPluginAPIBase::StopIdleTimer() {
    if (idleTimer) {
        idleTimer->Stop();
    }
}

void IPluginAPIBase::IdleTick(Timer&) {
    if (hasUI) {
        MidiMessage message;
        for (size_t i = 0; i < kMidiQueueCapacity && midiFromProcessor.Pop(message); ++i) {
            PushMidiToEditor(message);
        }
        // SysEx blocks are half a kilobyte: one at a time through a member
        // rather than the timer thread's stack.
        for (size_t i = 0; i < kSysExQueueCapacity && sysExFromProcessor.Pop(idleSysEx); ++i) {
            PushSysExToEditor(idleSysEx);
        }
    }
    OnIdleTimer();
}

void IPluginAPIBase::OnIdleTimer() {}

void IPluginAPIBase::AfterIdleTick() {}

// ---- Parameters ----

void IPluginAPIBase::SetParamValueFromEditor(int32_t index, double normalized) {
    IParam* param = ParamAt(index);
    if (param == nullptr || !std::isfinite(normalized)) {
        return;
    }
    param->SetFromNormalized(normalized);
    NotifyHostOfParamValue(index, normalized);
    OnParamChange(index, ParamChangeSource::UI, -1);
}

void IPluginAPIBase::SetParamFromEditor(int32_t index, double normalized) {
    IParam* param = ParamAt(index);
    if (param == nullptr || !std::isfinite(normalized)) {
        return;
    }
    SetParamValueFromEditor(index, normalized);
    // Stored again after the hooks, so the value kept is the position the
    // editor asked for even if a hook moved it meanwhile.
    param->SetFromNormalized(normalized);
    OnParamChangeForEditor(index, ParamChangeSource::UI);
}

void IPluginAPIBase::BeginParamEdit(int32_t index) {
    BeginParamGesture(index);
}

void IPluginAPIBase::EndParamEdit(int32_t index) {
    EndParamGesture(index);
}

void IPluginAPIBase::NotifyHostOfAllParams() {
    for (int32_t i = 0; i < ParamCount(); ++i) {
        NotifyHostOfParamValue(i, ParamAt(i)->CurrentNormalized());
    }
}

void IPluginAPIBase::SendParamFromProcessor(int32_t index, double value, bool normalized) {
    if (normalized) {
        const IParam* param = ParamAt(index);
        if (param == nullptr) {
            return;
        }
        value = param->DenormalizeValue(value);
    }
    paramsFromProcessor.Push(ParamUpdate{index, value});
}

// ---- Editor size ----

bool IPluginAPIBase::RequestEditorResize(int32_t width, int32_t height, bool needsPlatformResize) {
    if (!needsPlatformResize) {
        return true;
    }
    return ResizeEditorWindow(width, height);
}

// ---- MIDI and SysEx ----

void IPluginAPIBase::SendMidiFromUI(const MidiMessage& message) {
    midiFromEditor.Push(message);
}

void IPluginAPIBase::SendSysExFromUI(const SysExBlock& block) {
    SysExBlock copy;
    copy.sampleOffset = block.sampleOffset;
    copy.size = std::clamp(block.size, 0, SysExBlock::maxBytes);
    std::copy_n(block.data.begin(), copy.size, copy.data.begin());
    sysExFromEditor.Push(copy);
}

// ---- Track information ----

void IPluginAPIBase::TrackColour(int32_t& red, int32_t& green, int32_t& blue) {
    red = 0;
    green = 0;
    blue = 0;
}

void IPluginAPIBase::TrackName(std::string&) {}

void IPluginAPIBase::TrackNamespace(std::string&) {}

int32_t IPluginAPIBase::TrackIndex() {
    return 0;
}

int32_t IPluginAPIBase::TrackNamespaceIndex() {
    return 0;
}

bool IPluginAPIBase::GetMidiNoteName(int32_t, std::string& text) {
    text.clear();
    return false;
}

} // namespace plugin
