/*
 * tgawriter.cpp -- TGA images and bitmap fonts for tests.
 */
#include "tgawriter.h"

#include "gk_support.h"

namespace gk {

static void Put16(std::string &s, int v)
{
    s.push_back((char)(v & 255));
    s.push_back((char)((v >> 8) & 255));
}

std::string MakeTga(const TgaHeader &h, const std::string &id, const std::string &cmap,
                    const std::string &pixels)
{
    std::string s;
    s.push_back((char)h.idlength);
    s.push_back((char)h.cmaptype);
    s.push_back((char)h.imagetype);
    Put16(s, 0); /* first colour map entry */
    Put16(s, h.cmaplength);
    s.push_back((char)h.cmapbits);
    Put16(s, 0); /* x origin */
    Put16(s, 0); /* y origin */
    Put16(s, h.width);
    Put16(s, h.height);
    s.push_back((char)h.depth);
    s.push_back((char)h.descriptor);
    return s + id + cmap + pixels;
}

static std::string SwapRedBlue(const std::string &px, int bpp)
{
    std::string out = px;
    for (size_t i = 0; i + bpp <= out.size(); i += bpp)
        std::swap(out[i], out[i + 2]);
    return out;
}

std::string MakeTgaRgb(int width, int height, const std::string &rgb)
{
    TgaHeader h;
    h.width = width;
    h.height = height;
    return MakeTga(h, "", "", SwapRedBlue(rgb, 3));
}

std::string MakeTgaRgba(int width, int height, const std::string &rgba)
{
    TgaHeader h;
    h.width = width;
    h.height = height;
    h.depth = 32;
    h.descriptor = 8;
    return MakeTga(h, "", "", SwapRedBlue(rgba, 4));
}

std::string SolidRgb(int width, int height, unsigned char r, unsigned char g, unsigned char b)
{
    std::string px;
    for (int i = 0; i < width * height; i++)
        px += {(char)r, (char)g, (char)b};
    return MakeTgaRgb(width, height, px);
}

std::string SolidRgba(int width, int height, unsigned char r, unsigned char g, unsigned char b,
                      unsigned char a)
{
    std::string px;
    for (int i = 0; i < width * height; i++)
        px += {(char)r, (char)g, (char)b, (char)a};
    return MakeTgaRgba(width, height, px);
}

bool WriteFont(const std::string &base, int size, const std::string &fontlines)
{
    return WriteFile(base + ".tga", SolidRgba(size, size, 255, 255, 255, 255)) &&
           WriteFile(base + ".font", fontlines);
}

} // namespace gk
