#pragma once

#include "tools/render/FrameStreams.h"

#include <memory>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace render {

// What libsndfile says about a file: its format word (major type | sample
// encoding), channels, rate and length.
struct SoundFormat {
    int format = 0;
    int32_t channels = 0;
    int32_t sampleRate = 0;
    int64_t frames = 0;
};

// Integer PCM is converted here rather than by libsndfile, whose
// normalisation reads with 1/32768 but writes with 32767 and so would change
// every 16-bit sample's level on the way through. Here a sample of n bits
// maps to n / 2^(n-1) both ways, so a unity render is bit-exact.
// 0 for encodings that are not integer PCM.
int PcmBitsOf(int format) noexcept;

// Reads a WAV, AIFF, FLAC (or any other libsndfile) file.
class SoundFileReader : public FrameSource {
public:
    // Null with a reason in error.
    static std::unique_ptr<SoundFileReader> Open(const std::string& path, std::string& error);
    ~SoundFileReader() override;
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    const SoundFormat& Format() const noexcept { return format; }
    int32_t Channels() const override { return format.channels; }
    void Reserve(int64_t maxFrames) override;
    int64_t Read(double* interleaved, int64_t frames) override;

private:
    SoundFileReader() = default;
    SNDFILE* file = nullptr;
    SoundFormat format;
    int pcmBits = 0;
    std::vector<int> pcm;
};

// Writes to a temporary file beside the destination and renames it into
// place on Commit, so that the destination is either absent (or its earlier
// version) or complete. A writer destroyed without Commit removes its
// temporary file.
class SoundFileWriter : public FrameSink {
public:
    // format: the libsndfile format word. Null with a reason in error.
    static std::unique_ptr<SoundFileWriter> Create(const std::string& path, int format,
                                                   int32_t channels, int32_t sampleRate,
                                                   std::string& error);
    ~SoundFileWriter() override;
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    void Reserve(int64_t maxFrames) override;
    bool Write(const double* interleaved, int64_t frames) override;
    // Closes the file and moves it to the destination. False with a reason.
    bool Commit(std::string& error);

    const std::string& TemporaryPath() const noexcept { return temporaryPath; }

private:
    SoundFileWriter() = default;
    void Discard() noexcept;

    SNDFILE* file = nullptr;
    std::string path;
    std::string temporaryPath;
    int32_t channels = 0;
    int pcmBits = 0;
    std::vector<int> pcm;
};

// The format to write: the major type named by the output's extension (.wav,
// .aif/.aiff, .flac), else the input's; the input's sample encoding, or
// 32-bit float when asked. 0 with a reason when the pair cannot be written.
int ChooseOutputFormat(int inputFormat, int32_t channels, const std::string& outputPath,
                       bool asFloat, std::string& error);

// "WAV 16-bit", "FLAC 24-bit", "AIFF 32-bit float"...
std::string DescribeFormat(int format);

} // namespace render
