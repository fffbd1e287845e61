/*
 * tgawriter.h -- builds uncompressed TGA images and bitmap fonts (TGA plus
 * ".font" glyph table) for tests: any header field can be set, so the
 * tests can also make broken and unsupported files.
 */
#ifndef GK_TGAWRITER_H
#define GK_TGAWRITER_H

#include <string>

namespace gk {

struct TgaHeader {
    int idlength = 0;
    int cmaptype = 0;
    int imagetype = 2;
    int cmaplength = 0;
    int cmapbits = 0;
    int width = 0;
    int height = 0;
    int depth = 24;
    int descriptor = 0;
};

/* Header, then id bytes, colour map bytes and pixel bytes as given. */
std::string MakeTga(const TgaHeader &h, const std::string &id, const std::string &cmap,
                    const std::string &pixels);
/* True-colour images from rows of RGB / RGBA bytes (written as BGR[A]). */
std::string MakeTgaRgb(int width, int height, const std::string &rgb);
std::string MakeTgaRgba(int width, int height, const std::string &rgba);
/* width x height of one colour. */
std::string SolidRgb(int width, int height, unsigned char r, unsigned char g, unsigned char b);
std::string SolidRgba(int width, int height, unsigned char r, unsigned char g, unsigned char b,
                      unsigned char a);

/* Writes base + ".tga" (a size x size 32-bit image, fully opaque) and
 * base + ".font" with the given glyph lines. */
bool WriteFont(const std::string &base, int size, const std::string &fontlines);

} // namespace gk

#endif
