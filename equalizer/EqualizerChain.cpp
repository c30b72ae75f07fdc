#include "equalizer/EqualizerChain.h"

#include "equalizer/PairedPipeline.h"
#include "equalizer/SectionPipeline.h"
#include "equalizer/VectorSine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace equalizer {

EqualizerChain::EqualizerChain() {
    for (int ch = 0; ch < maxChannels; ++ch) {
        BiquadSection& hp = sections[HighPassBand][ch];
        hp.SetType(HighPass);
        hp.SetQ(highPassQ);
        hp.SetFrequency(30.0);

        struct BandSetup {
            int band;
            int32_t type;
            double frequencyHz;
        };
        const BandSetup bands[] = {{LowShelfBand, LowShelf, 35.0},
                                   {Mid1Band, Peaking, 240.0},
                                   {Mid2Band, Peaking, 2500.0},
                                   {HighShelfBand, HighShelf, highShelfFrequencyHz}};
        for (const BandSetup& b : bands) {
            BiquadSection& s = sections[b.band][ch];
            s.SetType(b.type);
            s.SetQ(bandQ);
            s.SetFrequency(b.frequencyHz);
            s.SetGainDb(0.0);
        }
    }
}

namespace {

using pipeline::DoublePair;
using pipeline::GetLane;
using pipeline::Stage;

static_assert(EqualizerChain::chunkFrames <= pipeline::maxRunFrames);

// The sine term's amount before a band: signed for the low shelf only.
double InjectionAmount(int band, double gainDb) {
    switch (band) {
    case LowShelfBand:
        return gainDb / EqualizerChain::lowShelfInjection;
    case HighShelfBand:
        return std::fabs(gainDb / EqualizerChain::highShelfInjection);
    default:
        return std::fabs(gainDb / EqualizerChain::midInjection);
    }
}

} // namespace

// Runs the chain's sections for one channel (T = double) or both (T =
// DoublePair) over frames whose sine term is already known. Between runs the
// sections hold the history; during a run it lives in the stages.
template <class T> class EqualizerChain::Runner {
public:
    static constexpr int lanes = pipeline::laneCount<T>;

    Runner(EqualizerChain& chain, const int (&channels)[lanes]) : chain(chain) {
        for (int band = 0; band < bandCount; ++band) {
            for (int lane = 0; lane < lanes; ++lane) {
                sections[band][lane] = &chain.sections[band][channels[lane]];
            }
        }
    }

    // Filters y[0..n) in place, without the output stage. Returns n, or for
    // two lanes the frames done before the lanes stopped agreeing on which
    // bands run (the caller finishes such a block channel by channel).
    int Run(T* y, const T* s, int n) {
        int done = 0;
        while (done < n) {
            if (!Plan()) {
                break;
            }
            if (anyGliding) {
                done += RunGliding(y + done, s + done, n - done);
            } else {
                if (count > 0) {
                    pipeline::SettledRun<T> run;
                    if constexpr (lanes == 1) {
                        run = pipeline::SingleChannelRunFor(count, highPassFirst);
                    } else {
                        run = chain.chainKernels->settledRun(count, highPassFirst);
                    }
                    run(stages, y + done, s + done, n - done);
                }
                done = n;
            }
            Commit();
        }
        return done;
    }

private:
    template <class Get> T Gather(int band, Get get) const {
        if constexpr (lanes == 1) {
            return get(*sections[band][0]);
        } else {
            return pipeline::MakePair(get(*sections[band][0]), get(*sections[band][1]));
        }
    }

    // Coefficients and injection amount, from the sections' current state.
    void LoadCoefficients(Stage<T>& st, int band) const {
        using C = BiquadSection::Coefficients;
        const auto coefficients = [&](double C::*field) {
            return Gather(
                band, [field](const BiquadSection& s) { return s.CurrentCoefficients().*field; });
        };
        st.b0 = coefficients(&C::b0);
        st.b1 = coefficients(&C::b1);
        st.b2 = coefficients(&C::b2);
        st.a1 = coefficients(&C::a1);
        st.a2 = coefficients(&C::a2);
        st.amount = Gather(band, [band](const BiquadSection& s) {
            return band == HighPassBand ? 0.0 : InjectionAmount(band, s.GainDb());
        });
    }

    bool Runs(int band, int lane) const {
        return band == HighPassBand ? chain.highPassEnabled : sections[band][lane]->GainDb() != 0.0;
    }

    // Collects the running bands in order. A band runs while its gain in
    // effect is not 0 (the high-pass while it is switched on); that can only
    // change through an update, after which the gliding run returns.
    bool Plan() {
        count = 0;
        highPassFirst = false;
        anyGliding = false;
        for (int band = 0; band < bandCount; ++band) {
            const bool runs = Runs(band, 0);
            for (int lane = 1; lane < lanes; ++lane) {
                if (Runs(band, lane) != runs) {
                    return false;
                }
            }
            if (!runs) {
                continue;
            }
            Stage<T>& st = stages[count];
            LoadCoefficients(st, band);
            st.x1 = Gather(band, [](const BiquadSection& s) { return s.CurrentHistory().x1; });
            st.x2 = Gather(band, [](const BiquadSection& s) { return s.CurrentHistory().x2; });
            st.y1 = Gather(band, [](const BiquadSection& s) { return s.CurrentHistory().y1; });
            st.y2 = Gather(band, [](const BiquadSection& s) { return s.CurrentHistory().y2; });
            bool gliding = false;
            for (int lane = 0; lane < lanes; ++lane) {
                gliding = gliding || sections[band][lane]->NeedsUpdate();
            }
            stageBand[count] = band;
            stageGliding[count] = gliding;
            anyGliding = anyGliding || gliding;
            highPassFirst = highPassFirst || band == HighPassBand;
            ++count;
        }
        return true;
    }

    void Commit() {
        for (int k = 0; k < count; ++k) {
            const Stage<T>& st = stages[k];
            for (int lane = 0; lane < lanes; ++lane) {
                sections[stageBand[k]][lane]->LoadHistory(
                    {GetLane(st.x1, lane), GetLane(st.x2, lane), GetLane(st.y1, lane),
                     GetLane(st.y2, lane)});
            }
        }
    }

    // Frame by frame, stage by stage, in the order of the per-sample
    // description: inject, update if needed, filter. Returns after the frame in
    // which an update brought a band's gain to exactly 0 (it stops running
    // from the next frame) or after which no section glides any more, so that
    // the caller plans again; otherwise after n frames.
    int RunGliding(T* y, const T* s, int n) {
        for (int f = 0; f < n; ++f) {
            T v = y[f];
            const T sine = s[f];
            bool replan = false;
            bool stillGliding = false;
            for (int k = 0; k < count; ++k) {
                Stage<T>& st = stages[k];
                const int band = stageBand[k];
                if (band != HighPassBand) {
                    v = v + st.amount * sine;
                }
                if (stageGliding[k]) {
                    bool updated = false;
                    for (int lane = 0; lane < lanes; ++lane) {
                        BiquadSection& section = *sections[band][lane];
                        if (!section.NeedsUpdate()) {
                            continue;
                        }
                        updated = true;
                        if (lane == 0) {
                            section.Update();
                        } else {
                            section.UpdateSharingDesign(*sections[band][0]);
                        }
                        replan = replan || (band != HighPassBand && section.GainDb() == 0.0);
                    }
                    if (updated) {
                        LoadCoefficients(st, band);
                    }
                    // A section that needed no update will not need one
                    // before the next setter call.
                    stageGliding[k] = updated;
                    stillGliding = stillGliding || updated;
                }
                v = pipeline::Filter(st, v);
            }
            y[f] = v;
            if (replan || !stillGliding) {
                return f + 1;
            }
        }
        return n;
    }

    EqualizerChain& chain;
    BiquadSection* sections[bandCount][lanes];
    Stage<T> stages[bandCount];
    int stageBand[bandCount] = {};
    bool stageGliding[bandCount] = {};
    int count = 0;
    bool highPassFirst = false;
    bool anyGliding = false;
};

void EqualizerChain::ProcessChannel(double* samples, int count, int channel) {
    if (channel < 0 || channel >= maxChannels) {
        return;
    }
    Runner<double> runner(*this, {channel});
    const double colour = std::fabs(outputGainDb / outputInjection) + outputColour;
    double sine[chunkFrames];
    for (int start = 0; start < count; start += chunkFrames) {
        const int n = std::min(chunkFrames, count - start);
        double* y = samples + start;
        ClampedSineBlock(y, sine, n);
        runner.Run(y, sine, n);
        pipeline::RunOutput(y, sine, n, colour, outputGain);
    }
}

void EqualizerChain::ProcessStereo(double* left, double* right, int count) {
    const auto address = [](const double* p) { return reinterpret_cast<std::uintptr_t>(p); };
    const auto bytes = sizeof(double) * static_cast<std::size_t>(std::max(count, 0));
    const bool overlap =
        address(left) < address(right) + bytes && address(right) < address(left) + bytes;
    if (overlap) {
        ProcessChannel(left, count, 0);
        ProcessChannel(right, count, 1);
        return;
    }
    ProcessFrames(StridedFrames{left, right, 1}, count);
}

void EqualizerChain::ProcessInterleaved(double* pairs, int count) {
    ProcessFrames(StridedFrames{pairs, pairs + 1, 2}, count);
}

void EqualizerChain::ProcessFrames(StridedFrames frames, int count) {
    Runner<DoublePair> runner(*this, {0, 1});
    const double colour = std::fabs(outputGainDb / outputInjection) + outputColour;
    DoublePair y[chunkFrames];
    DoublePair sine[chunkFrames];
    double* const left = frames.left;
    double* const right = frames.right;
    const std::ptrdiff_t stride = frames.stride;
    const kernels::ChainKernels& kernels = *chainKernels;
    for (int start = 0; start < count; start += chunkFrames) {
        const int n = std::min(chunkFrames, count - start);
        const std::ptrdiff_t at = start * stride;
        kernels.gather(left + at, right + at, stride, y, n);
        kernels.sine(reinterpret_cast<const double*>(y), reinterpret_cast<double*>(sine), 2 * n);
        const int done = runner.Run(y, sine, n);
        kernels.finish(y, sine, done, colour, outputGain, left + at, right + at, stride);
        if (done < n) {
            // The channels no longer run the same bands (only possible after
            // unequal histories of set-up calls): finish them one by one.
            FinishChannelByChannel(frames, start + done, count);
            return;
        }
    }
}

void EqualizerChain::FinishChannelByChannel(StridedFrames frames, int from, int count) {
    if (frames.stride == 1) {
        ProcessChannel(frames.left + from, count - from, 0);
        ProcessChannel(frames.right + from, count - from, 1);
        return;
    }
    double samples[chunkFrames];
    for (int ch = 0; ch < maxChannels; ++ch) {
        double* base = ch == 0 ? frames.left : frames.right;
        for (int start = from; start < count; start += chunkFrames) {
            const int n = std::min(chunkFrames, count - start);
            for (int f = 0; f < n; ++f)
                samples[f] = base[(start + f) * frames.stride];
            ProcessChannel(samples, n, ch);
            for (int f = 0; f < n; ++f)
                base[(start + f) * frames.stride] = samples[f];
        }
    }
}

void EqualizerChain::SetBandFrequency(int band, double hz) {
    for (int ch = 0; ch < maxChannels; ++ch) {
        sections[band][ch].SetFrequency(hz);
    }
}

void EqualizerChain::SetBandGainDb(int band, double db) {
    for (int ch = 0; ch < maxChannels; ++ch) {
        sections[band][ch].SetGainDb(db);
    }
}

void EqualizerChain::SetOutputGainDb(double db) {
    outputGainDb = db;
    outputGain = std::exp(db * outputGainFactor);
}

void EqualizerChain::SetSampleRateAndReset(double rate) {
    // Hosts are refused outside sane rates at set-up; this only keeps the
    // float-to-integer conversion defined for whatever arrives.
    const double limited = std::fmin(std::fmax(rate, 1.0), 2147483647.0);
    const auto integerRate = static_cast<int32_t>(rate == rate ? limited : 1.0);
    for (int ch = 0; ch < maxChannels; ++ch) {
        for (int band = 0; band < bandCount; ++band) {
            sections[band][ch].SetSampleRate(integerRate);
        }
        for (int band = 0; band < bandCount; ++band) {
            sections[band][ch].Reset();
        }
        // A reset completes the glide but leaves the coefficients of the last
        // design, which SetSampleRate made from the half-glided values. Until
        // some later setter call the sections would then run with gains and
        // frequencies far from their settings (a restored session would sound
        // almost flat). One update designs them for the targets; its
        // smoothing step moves nothing, since smoothed already equals target.
        for (int band = 0; band < bandCount; ++band) {
            sections[band][ch].Update();
        }
    }
}

} // namespace equalizer
