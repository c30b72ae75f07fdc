#pragma once

#include "plugin/IParam.h"

namespace fuzzing {

inline constexpr int kEqualizerParams = 10;

// The equalizer's ten parameters as the plug-in defines them (kinds, ranges,
// steps, flags, value texts), for fuzz targets that stand below the plug-in
// class. at(i) returns the i-th IParam to configure.
template <typename At> void ConfigureEqualizerParams(At at) {
    using plugin::IParam;
    at(0)->ConfigureEnum("HPF", 0, 6, "", 0, "",
                         {"Off", "30 Hz", "50 Hz", "80 Hz", "160 Hz", "300 Hz"});
    at(1)->ConfigureEnum("LoShelf Freq", 0, 4, "", 0, "", {"35 Hz", "60 Hz", "110 Hz", "220 Hz"});
    at(2)->ConfigureDouble("LoShelf Level", 0.0, -20.0, 20.0, 0.1, "dB");
    at(3)->ConfigureEnum("MF 1 Freq", 2, 6, "", 0, "",
                         {"150 Hz", "180 Hz", "240 Hz", "400 Hz", "820 Hz", "1200 Hz"});
    at(4)->ConfigureDouble("MF Level 1", 0.0, -20.0, 20.0, 0.1, "dB");
    at(5)->ConfigureEnum(
        "MF 2 Freq", 3, 7, "", 0, "",
        {"220 Hz", "315 Hz", "640 Hz", "2500 Hz", "3150 Hz", "6000 Hz", "8000 Hz"});
    at(6)->ConfigureDouble("MF Level 2", 0.0, -20.0, 20.0, 0.1, "dB");
    at(7)->ConfigureDouble("HiShelf Level", 0.0, -20.0, 20.0, 0.1, "dB");
    at(8)->ConfigureDouble("Gain", 0.0, -20.0, 10.0, 0.1, "dB");
    at(9)->ConfigureBool("Oversampling", false, "", IParam::NotAutomatable, "", "off", "on");
}

} // namespace fuzzing
