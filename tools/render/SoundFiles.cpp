#include "tools/render/SoundFiles.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace render {

namespace {

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Integer PCM arrives from libsndfile left-justified in 32 bits whatever
// its width.
constexpr double kInt32Scale = 2147483648.0;

} // namespace

int PcmBitsOf(int format) noexcept {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

std::unique_ptr<SoundFileReader> SoundFileReader::Open(const std::string& path,
                                                       std::string& error) {
    std::error_code code;
    if (!std::filesystem::exists(path, code)) {
        error = "cannot open \"" + path + "\": no such file";
        return nullptr;
    }
    if (std::filesystem::is_directory(path, code)) {
        error = "cannot open \"" + path + "\": it is a directory";
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "cannot read \"" + path + "\": " + sf_strerror(nullptr);
        return nullptr;
    }
    std::unique_ptr<SoundFileReader> reader(new SoundFileReader);
    reader->file = file;
    reader->format.format = info.format;
    reader->format.channels = info.channels;
    reader->format.sampleRate = info.samplerate;
    reader->format.frames = info.frames;
    reader->pcmBits = PcmBitsOf(info.format);
    return reader;
}

SoundFileReader::~SoundFileReader() {
    if (file)
        sf_close(file);
}

void SoundFileReader::Reserve(int64_t maxFrames) {
    if (pcmBits)
        pcm.assign(static_cast<std::size_t>(maxFrames * format.channels), 0);
}

int64_t SoundFileReader::Read(double* interleaved, int64_t frames) {
    if (!pcmBits)
        return sf_readf_double(file, interleaved, frames);
    if (pcm.size() < static_cast<std::size_t>(frames * format.channels))
        return -1;
    const sf_count_t got = sf_readf_int(file, pcm.data(), frames);
    const std::size_t samples = static_cast<std::size_t>(got * format.channels);
    for (std::size_t i = 0; i < samples; ++i)
        interleaved[i] = static_cast<double>(pcm[i]) / kInt32Scale;
    return got;
}

std::unique_ptr<SoundFileWriter> SoundFileWriter::Create(const std::string& path, int format,
                                                         int32_t channels, int32_t sampleRate,
                                                         std::string& error) {
    const std::filesystem::path destination(path);
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
    std::error_code code;
    if (!std::filesystem::is_directory(folder, code)) {
        error = "cannot write \"" + path + "\": no folder \"" + folder.string() + "\"";
        return nullptr;
    }
    std::unique_ptr<SoundFileWriter> writer(new SoundFileWriter);
    writer->path = path;
    writer->temporaryPath = (folder / ("." + destination.filename().string() + ".partial-" +
                                       std::to_string(static_cast<long long>(getpid()))))
                                .string();
    writer->channels = channels;
    writer->pcmBits = PcmBitsOf(format);

    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    writer->file = sf_open(writer->temporaryPath.c_str(), SFM_WRITE, &info);
    if (!writer->file) {
        error = "cannot write \"" + path + "\": " + sf_strerror(nullptr);
        std::remove(writer->temporaryPath.c_str());
        return nullptr;
    }
    // Encodings converted by libsndfile itself clip rather than wrap.
    sf_command(writer->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return writer;
}

SoundFileWriter::~SoundFileWriter() {
    Discard();
}

void SoundFileWriter::Discard() noexcept {
    if (file) {
        sf_close(file);
        file = nullptr;
        std::remove(temporaryPath.c_str());
    }
}

void SoundFileWriter::Reserve(int64_t maxFrames) {
    if (pcmBits)
        pcm.assign(static_cast<std::size_t>(maxFrames * channels), 0);
}

bool SoundFileWriter::Write(const double* interleaved, int64_t frames) {
    if (!file)
        return false;
    if (!pcmBits)
        return sf_writef_double(file, interleaved, frames) == frames;
    const std::size_t samples = static_cast<std::size_t>(frames * channels);
    if (pcm.size() < samples)
        return false;
    // Round to the file's own width, then clip, then left-justify.
    const double scale = std::ldexp(1.0, pcmBits - 1);
    const int shift = 32 - pcmBits;
    for (std::size_t i = 0; i < samples; ++i) {
        double level = std::round(interleaved[i] * scale);
        if (std::isnan(level))
            level = 0.0;
        level = std::clamp(level, -scale, scale - 1.0);
        pcm[i] = static_cast<int>(static_cast<int64_t>(level) * (int64_t{1} << shift));
    }
    return sf_writef_int(file, pcm.data(), frames) == frames;
}

bool SoundFileWriter::Commit(std::string& error) {
    if (!file) {
        error = "\"" + path + "\" was not written";
        return false;
    }
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) {
        error = "cannot finish \"" + path + "\": " + sf_error_number(closed);
        std::remove(temporaryPath.c_str());
        return false;
    }
    if (std::rename(temporaryPath.c_str(), path.c_str()) != 0) {
        error = "cannot write \"" + path + "\": " + std::strerror(errno);
        std::remove(temporaryPath.c_str());
        return false;
    }
    return true;
}

int ChooseOutputFormat(int inputFormat, int32_t channels, const std::string& outputPath,
                       bool asFloat, std::string& error) {
    int major = inputFormat & SF_FORMAT_TYPEMASK;
    const std::string extension = LowerExtension(outputPath);
    if (extension == ".wav")
        major = SF_FORMAT_WAV;
    else if (extension == ".aif" || extension == ".aiff")
        major = SF_FORMAT_AIFF;
    else if (extension == ".flac")
        major = SF_FORMAT_FLAC;
    const int encoding = asFloat ? SF_FORMAT_FLOAT : (inputFormat & SF_FORMAT_SUBMASK);
    const int format = major | encoding;
    SF_INFO probe{};
    probe.format = format;
    probe.channels = channels;
    probe.samplerate = 48000;
    if (!sf_format_check(&probe)) {
        error = "cannot write " + DescribeFormat(format) + " samples to \"" + outputPath + "\"";
        return 0;
    }
    return format;
}

std::string DescribeFormat(int format) {
    std::string text;
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
        text = "WAV";
        break;
    case SF_FORMAT_AIFF:
        text = "AIFF";
        break;
    case SF_FORMAT_FLAC:
        text = "FLAC";
        break;
    default: {
        SF_FORMAT_INFO info{};
        info.format = format & SF_FORMAT_TYPEMASK;
        text = sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) == 0 && info.name
                   ? info.name
                   : "sound file";
    }
    }
    if (const int bits = PcmBitsOf(format))
        return text + " " + std::to_string(bits) + "-bit";
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT)
        return text + " 32-bit float";
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE)
        return text + " 64-bit float";
    return text;
}

} // namespace render
