#include "reference/SoxrOversampler.h"

#include "equalizer/ResamplerQuality.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace reference {

namespace {

// soxr's precision range: below 15 bits it switches to low-quality recipes,
// above 33 it refuses to build the filter.
constexpr double kMinPrecisionBits = 15.0;
constexpr double kMaxPrecisionBits = 33.0;
// 20·log10(2): the dynamic range one bit of precision buys.
constexpr double kDbPerBit = 6.02;

// The library's high-quality recipe with precision, phase and band edges of
// a row (its own flags are kept: later soxr calls depend on a private bit).
soxr_quality_spec_t MakeSoxrQualitySpec(const equalizer::ResamplerQuality& row) noexcept {
    soxr_quality_spec_t recipe = soxr_quality_spec(SOXR_HQ, 0);
    recipe.precision =
        std::clamp(std::round(row.attenuationDb / kDbPerBit), kMinPrecisionBits, kMaxPrecisionBits);
    recipe.phase_response = row.minimumPhase ? 0.0 : 50.0;
    recipe.passband_end = 1.0 - row.transitionBandPercent / 100.0;
    recipe.stopband_begin = 1.0;
    return recipe;
}

// soxr's default large DFT (2^17) makes bursts of tens of thousands of samples;
// 2^10 cuts the real-time latency from about 1715 to about 690 host samples for
// roughly 15 % more work.
constexpr unsigned kLog2LargeDftSize = 10;

// Room in the run buffers beyond one block. Runs longer than a buffer are
// drained in several calls, so this only trades memory for call count.
constexpr int kRunAllowance = 4096;
// Spare FIFO room beyond the calibrated extremes.
constexpr int kFifoSlack = 64;

// The backlog pattern repeats with the joint period of the two resamplers'
// DFT blocks (tens of thousands of samples at 2^10); the scan runs at least
// this long, and longer while it still finds new extremes.
constexpr int kScanSamples = 1 << 16;
constexpr int kScanExtension = 1 << 14;
constexpr int kMaxScanSamples = 1 << 18;

// The first priming write: this many largest blocks plus enough to pass soxr's
// FIFO compaction threshold (16 KiB) several times over.
constexpr std::size_t kGulpBlocks = 4;
constexpr std::size_t kGulpExtraFrames = 1 << 14;

constexpr int kMinPrimingPasses = 3;
constexpr int kMaxPrimingPasses = 16;

// Impulse position and trailing silence for the group-delay measurement: far
// enough from the start that the filters' pre-ringing is not cut off, long
// enough that the response has died away.
constexpr int kImpulseOffset = 256;
constexpr int kImpulseTail = 1 << 14;

soxr* CreateResampler(double inputRateHz, double outputRateHz, const soxr_quality_spec_t& recipe) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    runtime.log2_large_dft_size = kLog2LargeDftSize;
    soxr_error_t error = nullptr;
    soxr_t resampler = soxr_create(inputRateHz, outputRateHz, 1, &error, &io, &recipe, &runtime);
    if (error != nullptr && resampler != nullptr) {
        soxr_delete(resampler);
        resampler = nullptr;
    }
    return resampler;
}

// Runs a resampler to the end of its input and appends everything it delivers.
void Flush(soxr* resampler, const std::vector<double>& input, std::vector<double>& output) {
    std::vector<double> run(static_cast<std::size_t>(kRunAllowance) * 4);
    std::size_t produced = 0;
    soxr_process(resampler, input.data(), input.size(), nullptr, run.data(), run.size(), &produced);
    output.insert(output.end(), run.begin(), run.begin() + static_cast<std::ptrdiff_t>(produced));
    do {
        produced = 0;
        soxr_process(resampler, nullptr, 0, nullptr, run.data(), run.size(), &produced);
        output.insert(output.end(), run.begin(),
                      run.begin() + static_cast<std::ptrdiff_t>(produced));
    } while (produced > 0);
}

} // namespace

void SoxrOversampler::SoxrDeleter::operator()(soxr* resampler) const noexcept {
    soxr_delete(resampler);
}

SoxrOversampler::SoxrOversampler(int factor, int quality, double sampleRate, int maxBlock)
    : factor(factor), quality(quality), sampleRate(sampleRate), maxBlock(maxBlock) {
    Rebuild();
}

SoxrOversampler::~SoxrOversampler() = default;

bool SoxrOversampler::ParametersValid() const noexcept {
    return factor >= 1 && factor <= kMaxFactor && std::isfinite(sampleRate) && sampleRate > 0.0 &&
           maxBlock >= 1 && maxBlock <= kMaxBlockLimit;
}

void SoxrOversampler::Rebuild() {
    ready = false;
    latency = 0;
    for (ChannelState& state : channels)
        state = ChannelState{};
    if (!ParametersValid())
        return;
    for (ChannelState& state : channels) {
        if (!BuildChannel(state)) {
            for (ChannelState& built : channels)
                built = ChannelState{};
            return;
        }
    }

    // Both channels see the same calibration sequence, so their backlogs are
    // the same; the extremes are still merged so that neither can run dry.
    const std::vector<double> zeros(static_cast<std::size_t>(maxBlock), 0.0);
    Calibration calibration{std::numeric_limits<std::int64_t>::min(),
                            std::numeric_limits<std::int64_t>::max()};
    for (ChannelState& state : channels) {
        Prime(state, zeros);
        ScanBacklog(state, calibration);
    }

    // The FIFO delay is the largest backlog, so that every output sample the
    // host asks for has been delivered by then. The zeros already in flight
    // inside soxr count towards it, so each FIFO is pre-filled with the rest.
    const std::int64_t fifoDelay = calibration.maxBacklog;
    const auto capacity =
        static_cast<std::size_t>(calibration.maxBacklog - calibration.minBacklog) +
        static_cast<std::size_t>(maxBlock) + kFifoSlack;
    for (ChannelState& state : channels) {
        const std::int64_t inFlight = state.samplesIn - state.samplesOut;
        state.fifo.Resize(capacity);
        state.fifo.FillWithZeros(
            static_cast<std::size_t>(std::max<std::int64_t>(0, fifoDelay - inFlight)));
        state.dropouts = 0;
    }

    // soxr aligns its output with its input up to the filters' own delay, which
    // for minimum phase is a fraction of a sample to a few samples (and may be
    // negative: soxr places the response's peak, not its centroid, at zero).
    // The delay of low frequencies is what a listener and a host's delay
    // compensation line up, so that is the one added.
    latency = static_cast<int>(std::lround(static_cast<double>(fifoDelay) + MeasureGroupDelay()));
    ready = true;
}

bool SoxrOversampler::BuildChannel(ChannelState& state) {
    const soxr_quality_spec_t recipe =
        MakeSoxrQualitySpec(equalizer::LookUpResamplerQuality(quality));
    const double oversampledRateHz = sampleRate * factor;
    state.upsampler.reset(CreateResampler(sampleRate, oversampledRateHz, recipe));
    state.downsampler.reset(CreateResampler(oversampledRateHz, sampleRate, recipe));
    if (!state.upsampler || !state.downsampler)
        return false;
    const auto hostRun = static_cast<std::size_t>(maxBlock) + kRunAllowance;
    state.upBuffer.assign(hostRun * static_cast<std::size_t>(factor), 0.0);
    state.downBuffer.assign(hostRun, 0.0);
    return true;
}

void SoxrOversampler::Prime(ChannelState& state, const std::vector<double>& zeros) {
    Gulp(state);
    // Full blocks and odd sizes then visit the phases of soxr's DFT blocks that
    // ordinary processing meets. A pass that produces no longer run than any
    // before means the pattern has settled.
    const int sizes[] = {maxBlock,     1,  maxBlock, 7, 13,           64,  maxBlock / 2 + 1,
                         maxBlock - 1, 97, maxBlock, 3, maxBlock / 3, 512, maxBlock};
    std::size_t longestRun = 0;
    for (int pass = 0; pass < kMaxPrimingPasses; ++pass) {
        const std::size_t before = longestRun;
        for (const int size : sizes) {
            const int frames = std::clamp(size, 1, maxBlock);
            const std::int64_t outBefore = state.samplesOut;
            Stream(state, zeros.data(), frames, nullptr, false);
            longestRun =
                std::max(longestRun, static_cast<std::size_t>(state.samplesOut - outBefore));
        }
        if (pass + 1 >= kMinPrimingPasses && longestRun == before)
            break;
    }
}

void SoxrOversampler::Gulp(ChannelState& state) {
    // soxr's internal FIFOs grow by realloc whenever a write does not fit, and
    // whether it fits depends on where their read position happens to be, so
    // ordinary blocks can trigger a growth long after start-up. One write far
    // larger than any later one, taken whole into each FIFO, grows them once
    // beyond every later need (they never shrink).
    const std::size_t hostFrames =
        static_cast<std::size_t>(maxBlock) * kGulpBlocks + kGulpExtraFrames;
    const std::vector<double> zeros(hostFrames, 0.0);
    std::vector<double> oversampled(hostFrames * static_cast<std::size_t>(factor) + kRunAllowance);
    std::vector<double> host(hostFrames + kRunAllowance);
    std::size_t upCount = 0;
    soxr_process(state.upsampler.get(), zeros.data(), zeros.size(), nullptr, oversampled.data(),
                 oversampled.size(), &upCount);
    std::size_t downCount = 0;
    soxr_process(state.downsampler.get(), oversampled.data(), upCount, nullptr, host.data(),
                 host.size(), &downCount);
    state.samplesIn += static_cast<std::int64_t>(hostFrames);
    state.samplesOut += static_cast<std::int64_t>(downCount);
}

void SoxrOversampler::ScanBacklog(ChannelState& state, Calibration& calibration) {
    // The backlog (samples in minus samples out) depends only on how many
    // samples have gone in, not on how they were split into blocks, so feeding
    // one sample at a time visits every value any block sequence can reach.
    const double zero = 0.0;
    std::int64_t maxSeen = std::numeric_limits<std::int64_t>::min();
    std::int64_t minSeen = std::numeric_limits<std::int64_t>::max();
    int scanned = 0;
    int lastNewExtreme = 0;
    while (scanned < kMaxScanSamples) {
        Stream(state, &zero, 1, nullptr, false);
        ++scanned;
        const std::int64_t backlog = state.samplesIn - state.samplesOut;
        if (backlog > maxSeen || backlog < minSeen) {
            maxSeen = std::max(maxSeen, backlog);
            minSeen = std::min(minSeen, backlog);
            lastNewExtreme = scanned;
        }
        if (scanned >= kScanSamples && scanned - lastNewExtreme >= kScanExtension)
            break;
    }
    calibration.maxBacklog = std::max(calibration.maxBacklog, maxSeen);
    calibration.minBacklog = std::min(calibration.minBacklog, minSeen);
}

double SoxrOversampler::MeasureGroupDelay() const {
    // A separate pair with the same settings, so the working pairs keep their
    // calibrated state. The delay at low frequencies is the response's
    // centroid, sum(n·h[n]) / sum(h[n]).
    const soxr_quality_spec_t recipe =
        MakeSoxrQualitySpec(equalizer::LookUpResamplerQuality(quality));
    const double oversampledRateHz = sampleRate * factor;
    const SoxrHandle upsampler(CreateResampler(sampleRate, oversampledRateHz, recipe));
    const SoxrHandle downsampler(CreateResampler(oversampledRateHz, sampleRate, recipe));
    if (!upsampler || !downsampler)
        return 0.0;
    std::vector<double> impulse(kImpulseOffset + kImpulseTail, 0.0);
    impulse[kImpulseOffset] = 1.0;
    std::vector<double> oversampled;
    std::vector<double> response;
    Flush(upsampler.get(), impulse, oversampled);
    Flush(downsampler.get(), oversampled, response);
    double sum = 0.0;
    double moment = 0.0;
    for (std::size_t n = 0; n < response.size(); ++n) {
        sum += response[n];
        moment += (static_cast<double>(n) - kImpulseOffset) * response[n];
    }
    if (!(std::fabs(sum) > 0.5))
        return 0.0;
    return moment / sum;
}

bool SoxrOversampler::AcceptsBlock(int channel, const double* input, int frames) const noexcept {
    return ready && channel >= 0 && channel < kChannels && frames >= 0 && frames <= maxBlock &&
           (input != nullptr || frames == 0);
}

bool SoxrOversampler::ProcessWithChain(int channel, const double* input, double* output, int frames,
                                       OversampledChainRef chain) noexcept {
    if (!AcceptsBlock(channel, input, frames) || output == nullptr) {
        if (output != nullptr && frames > 0)
            std::fill_n(output, frames, 0.0);
        return false;
    }
    if (frames == 0)
        return true;
    ChannelState& state = channels[static_cast<std::size_t>(channel)];
    Stream(state, input, frames, &chain, true);
    const auto wanted = static_cast<std::size_t>(frames);
    const std::size_t delivered = state.fifo.Pop(output, wanted);
    if (delivered < wanted) {
        std::fill(output + delivered, output + wanted, 0.0);
        ++state.dropouts;
    }
    return true;
}

bool SoxrOversampler::Feed(int channel, const double* input, int frames) noexcept {
    if (!AcceptsBlock(channel, input, frames))
        return false;
    if (frames == 0)
        return true;
    ChannelState& state = channels[static_cast<std::size_t>(channel)];
    Stream(state, input, frames, nullptr, true);
    const auto wanted = static_cast<std::size_t>(frames);
    if (state.fifo.Discard(wanted) < wanted)
        ++state.dropouts;
    return true;
}

std::uint64_t SoxrOversampler::DropoutCount(int channel) const noexcept {
    if (channel < 0 || channel >= kChannels)
        return 0;
    return channels[static_cast<std::size_t>(channel)].dropouts;
}

void SoxrOversampler::Stream(ChannelState& state, const double* input, int frames,
                             const OversampledChainRef* chain, bool intoFifo) noexcept {
    // Without an idone pointer soxr takes the whole input; output it cannot
    // hand over in one call stays inside it and is drained by calls with an
    // empty (but non-null: null means end of stream) input.
    std::vector<double>& run = state.upBuffer;
    std::size_t produced = 0;
    soxr_process(state.upsampler.get(), input, static_cast<std::size_t>(frames), nullptr,
                 run.data(), run.size(), &produced);
    state.samplesIn += frames;
    while (true) {
        if (produced > 0) {
            if (chain != nullptr)
                (*chain)(run.data(), static_cast<int>(produced));
            Downsample(state, run.data(), produced, intoFifo);
        }
        if (produced < run.size())
            break;
        produced = 0;
        soxr_process(state.upsampler.get(), input, 0, nullptr, run.data(), run.size(), &produced);
    }
}

void SoxrOversampler::Downsample(ChannelState& state, const double* oversampled, std::size_t count,
                                 bool intoFifo) noexcept {
    std::vector<double>& run = state.downBuffer;
    std::size_t produced = 0;
    soxr_process(state.downsampler.get(), oversampled, count, nullptr, run.data(), run.size(),
                 &produced);
    while (true) {
        state.samplesOut += static_cast<std::int64_t>(produced);
        if (intoFifo && state.fifo.Push(run.data(), produced) < produced)
            ++state.dropouts;
        if (produced < run.size())
            break;
        produced = 0;
        soxr_process(state.downsampler.get(), oversampled, 0, nullptr, run.data(), run.size(),
                     &produced);
    }
}

} // namespace reference
