/* TGA images and bitmap fonts for tests. */
#include "tgawriter.h"

#include "gk_support.h"

namespace gk {

std::string MakeTga(const TgaHeader &h, const std::string &id, const std::string &cmap, const std::string &pixels)
{
    std::string s;
    /* id length, colour map type, image type, first colour map entry, its
     * length and bits, x and y origin, size, depth, descriptor */
    PutFields(s, {{(uint32_t)h.idlength, 1}, {(uint32_t)h.cmaptype, 1}, {(uint32_t)h.imagetype, 1}, {0, 2},
                  {(uint32_t)h.cmaplength, 2}, {(uint32_t)h.cmapbits, 1}, {0, 4}, {(uint32_t)h.width, 2},
                  {(uint32_t)h.height, 2}, {(uint32_t)h.depth, 1}, {(uint32_t)h.descriptor, 1}});
    return s + id + cmap + pixels;
}

/* True colour from RGB[A] rows: TGA stores BGR[A]. */
static std::string TrueColour(int width, int height, const std::string &px, int bpp)
{
    TgaHeader h = {.width = width, .height = height, .depth = 8 * bpp, .descriptor = bpp == 4 ? 8 : 0};
    std::string out = px;
    for (size_t i = 0; i + bpp <= out.size(); i += bpp)
        std::swap(out[i], out[i + 2]);
    return MakeTga(h, "", "", out);
}

std::string MakeTgaRgb(int width, int height, const std::string &rgb) { return TrueColour(width, height, rgb, 3); }
std::string MakeTgaRgba(int width, int height, const std::string &rgba) { return TrueColour(width, height, rgba, 4); }

std::string SolidRgb(int width, int height, unsigned char r, unsigned char g, unsigned char b)
{
    std::string px;
    for (int i = 0; i < width * height; i++)
        px += {(char)r, (char)g, (char)b};
    return MakeTgaRgb(width, height, px);
}

std::string SolidRgba(int width, int height, unsigned char r, unsigned char g, unsigned char b, unsigned char a)
{
    std::string px;
    for (int i = 0; i < width * height; i++)
        px += {(char)r, (char)g, (char)b, (char)a};
    return MakeTgaRgba(width, height, px);
}

bool WriteFont(const std::string &base, int size, const std::string &fontlines)
{
    return WriteFile(base + ".tga", SolidRgba(size, size, 255, 255, 255, 255)) && WriteFile(base + ".font", fontlines);
}

} // namespace gk
