#pragma once

#include <cstdint>

namespace plugin {

// Which host the plug-in runs in, identified from the host's name. A few
// hosts need work-arounds elsewhere (Mixbus, Ardour, WaveLab).
enum class HostKind : int32_t {
    NotIdentified = -1,
    Unknown = 0,
    Reaper = 1,
    ProTools = 2,
    Cubase = 3,
    Nuendo = 4,
    Cakewalk = 5,
    Vegas = 6,
    FruityLoops = 7,
    Samplitude = 8,
    AbletonLive = 9,
    Tracktion = 10,
    NTracks = 11,
    Melodyne = 12,
    VstManLib = 13,
    AULab = 14,
    Forte = 15,
    Chainer = 16,
    Audition = 17,
    Orion = 18,
    Bias = 19,
    SawStudio = 20,
    Logic = 21,
    GarageBand = 22,
    DigitalPerformer = 23,
    Standalone = 24,
    AudioMulch = 25,
    PreSonus = 26,
    Vst3PluginTestHost = 27,
    Ardour = 28,
    Renoise = 29,
    OpenMPT = 30,
    WaveLab = 31,
    WaveLabElements = 32,
    TwistedWave = 33,
    BitwigStudio = 34,
    Www = 35,
    Reason = 36,
    GwVst = 37,
    Waveform = 38,
    Audacity = 39,
    Acoustica = 40,
    PluginDoctor = 41,
    IzotopeRx = 42,
    SaviHost = 43,
    BlueCatVstHost = 44,
    Mixbus = 45,
};

// [any] Looks the host name up, ignoring ASCII letter case: the first entry
// of the lookup table (in table order) whose text occurs anywhere in the name
// decides. Only the first 255 characters of the name are searched. Null or
// no match gives HostKind::Unknown. Does not allocate.
HostKind LookUpHostKind(const char* name);

} // namespace plugin
