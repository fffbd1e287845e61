/* WAV files for the sound tests, and the data and levels of what a back end wrote. */
#include "wavwriter.h"

#include <algorithm>
#include <cmath>

#include "gk_support.h"

namespace gk {

static void PutId(std::string &s, const std::string &id)
{
    std::string four = id;
    four.resize(4, ' ');
    s += four;
}

std::string WavBytes(const WavSpec &spec, const std::string &data, const std::string &trailing)
{
    std::string s;
    uint32_t size = spec.datasize < 0 ? (uint32_t)data.size() : (uint32_t)spec.datasize;
    uint16_t align = (uint16_t)(spec.channels * spec.bits / 8);
    PutId(s, spec.chunkid);
    PutFields(s, {{36 + size, 4}});
    PutId(s, spec.format);
    PutId(s, spec.fmtid);
    PutFields(s, {{16, 4}, {spec.formattag, 2}, {spec.channels, 2}, {spec.rate, 4}, {spec.rate * align, 4},
                  {align, 2}, {spec.bits, 2}});
    PutId(s, spec.dataid);
    PutFields(s, {{size, 4}});
    return s + data + trailing;
}

std::string WavTone(const WavSpec &spec, uint32_t frames, float hz)
{
    std::string d;
    for (uint32_t i = 0; i < frames; i++) {
        float v = std::sin(6.2831853f * hz * (float)i / (float)spec.rate) * 0.5f;
        for (int c = 0; c < spec.channels; c++) {
            if (spec.bits == 8)
                d.push_back((char)(uint8_t)(128 + (int)(v * 127.0f)));
            else
                PutLE(d, (uint16_t)(int16_t)(v * 32767.0f), 2);
        }
    }
    return d;
}

bool WriteWav(const std::string &path, const WavSpec &spec, const std::string &data, const std::string &trailing)
{
    return WriteFile(path, WavBytes(spec, data, trailing));
}

std::string WavDataChunk(const std::string &w)
{
    for (size_t p = 12; p + 8 <= w.size();) {
        uint32_t n = U32(w, p + 4);
        if (w.compare(p, 4, "data") == 0)
            return w.substr(p + 8, std::min<size_t>(n, w.size() - p - 8));
        if (n > w.size())
            break;
        p += 8 + n + (n & 1);
    }
    return "";
}

double WavChannelRms(const std::string &pcm, int channels, int channel)
{
    double sum = 0.0;
    size_t n = 0, step = (size_t)channels * 2;
    for (size_t i = (size_t)channel * 2; i + 1 < pcm.size(); i += step, n++) {
        int v = (int16_t)((uint8_t)pcm[i] | ((uint8_t)pcm[i + 1] << 8));
        sum += (double)v * v;
    }
    return n ? std::sqrt(sum / (double)n) : 0.0;
}

} // namespace gk
