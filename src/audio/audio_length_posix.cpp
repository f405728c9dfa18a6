#include "audio/audio_decoders.h"

#include <mpg123.h>
#include <sndfile.h>

#include <memory>

namespace tollwick {
namespace {

// Older libmpg123 versions need one mpg123_init per process before the first handle; the
// function-local static makes that happen once even when several threads measure at once.
bool mpg123Ready() {
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

struct Mpg123Closer {
    void operator()(mpg123_handle* handle) const noexcept {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, Mpg123Closer>;

// A quiet decoder handle on `path`, with its output format known; empty when the file cannot be
// opened or holds no MPEG audio frame.
Mpg123Handle openMpeg(const std::string& path, long extraFlags, long& rate) {
    int error = MPG123_OK;
    Mpg123Handle handle(mpg123_new(nullptr, &error));
    if (!handle) {
        return nullptr;
    }
    // The library would otherwise write its complaints about damaged files to standard error.
    if (mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | extraFlags, 0.0) != MPG123_OK ||
        mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
        return nullptr;
    }
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0) {
        return nullptr;
    }
    return handle;
}

} // namespace

double mpegSeconds(const std::string& path) {
    if (!mpg123Ready()) {
        return UNMEASURABLE;
    }
    long rate = 0;
    Mpg123Handle handle = openMpeg(path, 0, rate);
    if (!handle) {
        return UNMEASURABLE;
    }
    // Before a scan the library knows the length only from an Info/Xing header (or an ID3 length
    // tag) or, lacking both, guesses it from the file size. The scan counts the frames actually
    // there, which is exact with or without a header and the only good reading of VBR files
    // without one.
    const off_t announced = mpg123_length(handle.get());
    if (mpg123_scan(handle.get()) != MPG123_OK) {
        return UNMEASURABLE;
    }
    const off_t samples = mpg123_length(handle.get());
    if (samples <= 0) {
        return UNMEASURABLE;
    }
    // A file that holds fewer frames than its own header announces was cut short (an interrupted
    // upload or download). It would still play what is there, but no length we could give
    // is the one the file claims, so it is reported as not measurable. The announcement counts only
    // when it comes from the file's header, that is when it differs from the size-based guess.
    if (announced > 0 && samples < announced) {
        long guessRate = 0;
        Mpg123Handle guessing = openMpeg(path, MPG123_IGNORE_STREAMLENGTH, guessRate);
        const off_t guessed = guessing ? mpg123_length(guessing.get()) : announced;
        // One frame's worth of slack for headers that count in milliseconds rather than frames.
        constexpr off_t ONE_FRAME = 1152;
        if (guessed != announced && announced - samples > ONE_FRAME) {
            return UNMEASURABLE;
        }
    }
    return static_cast<double>(samples) / static_cast<double>(rate);
}

double waveSeconds(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return UNMEASURABLE;
    }
    sf_close(file);
    const int container = info.format & SF_FORMAT_TYPEMASK;
    const bool isWave = container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX || container == SF_FORMAT_RF64;
    if (!isWave || info.samplerate <= 0 || info.frames < 0) {
        return UNMEASURABLE;
    }
    return static_cast<double>(info.frames) / static_cast<double>(info.samplerate);
}

} // namespace tollwick
