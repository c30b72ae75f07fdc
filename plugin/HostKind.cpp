#include "plugin/HostKind.h"

#include <cstring>

namespace plugin {

namespace {

struct HostEntry {
    const char* text; // lower case
    HostKind kind;
};

// Order matters: the first entry found wins. "wavelab elements" must come
// before "wavelab", and "live" sits early, so any name containing those four
// letters counts as Ableton Live.
constexpr HostEntry kHostTable[] = {
    {"reaper", HostKind::Reaper},
    {"protools", HostKind::ProTools},
    {"cubase", HostKind::Cubase},
    {"nuendo", HostKind::Nuendo},
    {"cakewalk", HostKind::Cakewalk},
    {"vegas", HostKind::Vegas},
    {"fruity", HostKind::FruityLoops},
    {"samplitude", HostKind::Samplitude},
    {"live", HostKind::AbletonLive},
    {"tracktion", HostKind::Tracktion},
    {"ntracks", HostKind::NTracks},
    {"melodyne", HostKind::Melodyne},
    {"vstmanlib", HostKind::VstManLib},
    {"aulab", HostKind::AULab},
    {"forte", HostKind::Forte},
    {"chainer", HostKind::Chainer},
    {"audition", HostKind::Audition},
    {"orion", HostKind::Orion},
    {"bias", HostKind::Bias},
    {"sawstudio", HostKind::SawStudio},
    {"logic", HostKind::Logic},
    {"garageband", HostKind::GarageBand},
    {"digital", HostKind::DigitalPerformer},
    {"audiomulch", HostKind::AudioMulch},
    {"presonus", HostKind::PreSonus},
    {"vst3plugintesthost", HostKind::Vst3PluginTestHost},
    {"ardour", HostKind::Ardour},
    {"renoise", HostKind::Renoise},
    {"openmpt", HostKind::OpenMPT},
    {"wavelab elements", HostKind::WaveLabElements},
    {"wavelab", HostKind::WaveLab},
    {"twistedwave", HostKind::TwistedWave},
    {"bitwig studio", HostKind::BitwigStudio},
    {"reason", HostKind::Reason},
    {"gwvst", HostKind::GwVst},
    {"waveform", HostKind::Waveform},
    {"audacity", HostKind::Audacity},
    {"acoustica", HostKind::Acoustica},
    {"plugindoctor", HostKind::PluginDoctor},
    {"izotope rx", HostKind::IzotopeRx},
    {"savihost", HostKind::SaviHost},
    {"blue cat's vst host", HostKind::BlueCatVstHost},
    {"mixbus", HostKind::Mixbus},
    {"standalone", HostKind::Standalone},
    {"www", HostKind::Www},
};

// Room for the searched part of a name plus its terminator.
constexpr size_t kLowerCaseBufferBytes = 256;

} // namespace

HostKind LookUpHostKind(const char* name) {
    if (name == nullptr) {
        return HostKind::Unknown;
    }
    char lower[kLowerCaseBufferBytes];
    size_t length = 0;
    for (; length + 1 < sizeof lower && name[length] != '\0'; ++length) {
        const char c = name[length];
        lower[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    lower[length] = '\0';
    for (const HostEntry& entry : kHostTable) {
        if (std::strstr(lower, entry.text) != nullptr) {
            return entry.kind;
        }
    }
    return HostKind::Unknown;
}

} // namespace plugin
