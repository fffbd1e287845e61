/*
 * level_bytes.h -- builds level files byte by byte for the tests, without
 * the module's own writer, so that the reader and the writer are each
 * checked against an independent picture of the layout.
 */
#ifndef LEVEL_BYTES_H
#define LEVEL_BYTES_H

#include <stdint.h>
#include <string.h>

#include <string>

namespace levelbytes {

inline void PutU32(std::string *b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b->push_back((char)((v >> (8 * i)) & 0xFF));
}

inline void PutFloat(std::string *b, float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    PutU32(b, u);
}

/* A fixed field of n bytes holding s, zero-padded (s may fill it all). */
inline void PutField(std::string *b, const std::string &s, size_t n)
{
    std::string f = s.substr(0, n);
    f.resize(n, '\0');
    *b += f;
}

inline std::string Header(const std::string &stored, const std::string &name = "Level",
                          const std::string &bgm = "sounds/music.wav", float duration = 60.0f,
                          const std::string &sky = "skysphere01", int version = 3)
{
    std::string b;
    PutU32(&b, (uint32_t)version);
    std::string s = stored.substr(0, 128);
    s.resize(128, '\0');
    for (char &c : s)
        c = (char)(c ^ 0x6C);
    b += s;
    PutField(&b, name, 129);
    PutField(&b, bgm, 129);
    PutFloat(&b, duration);
    PutField(&b, sky, 129);
    return b;
}

inline std::string Spawn(float spawntime, float period, const std::string &name, float x = 0,
                         float y = 0, float z = -300, float dx = 0, float dy = 0,
                         float dz = 1, float speed = 50)
{
    std::string b;
    PutFloat(&b, spawntime);
    PutFloat(&b, period);
    PutField(&b, name, 129);
    for (float v : {x, y, z, dx, dy, dz, speed})
        PutFloat(&b, v);
    return b;
}

} // namespace levelbytes

#endif
