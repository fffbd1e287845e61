/* Canonical PCM WAV files for the sound tests, every header field open to a lie. */
#ifndef WAVWRITER_H
#define WAVWRITER_H

#include <cstdint>
#include <string>

namespace gk {

struct WavSpec {
    uint16_t formattag = 1, channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    std::string chunkid = "RIFF", format = "WAVE", fmtid = "fmt ", dataid = "data";
    int64_t datasize = -1;      /* in the header; -1: the real size of the data */
};

/* A sine tone of frames sample frames in the spec's format (8 or 16 bits). */
std::string WavTone(const WavSpec &spec, uint32_t frames, float hz = 440.0f);
/* Header followed by data (and trailing bytes). */
std::string WavBytes(const WavSpec &spec, const std::string &data, const std::string &trailing = "");
bool WriteWav(const std::string &path, const WavSpec &spec, const std::string &data, const std::string &trailing = "");
/* The bytes of the "data" chunk of a RIFF file (any format chunk), cut to
 * what is really there; "" without one. */
std::string WavDataChunk(const std::string &file);
/* Root mean square of the 16-bit samples of one channel of interleaved frames. */
double WavChannelRms(const std::string &pcm, int channels, int channel);

} // namespace gk

#endif
