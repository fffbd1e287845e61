/* Uncompressed TGA images and bitmap fonts (TGA plus ".font" glyph table) for tests. */
#ifndef GK_TGAWRITER_H
#define GK_TGAWRITER_H

#include <string>

namespace gk {

struct TgaHeader {
    int idlength = 0, cmaptype = 0, imagetype = 2, cmaplength = 0, cmapbits = 0;
    int width = 0, height = 0, depth = 24, descriptor = 0;
};

/* Header, then id bytes, colour map bytes and pixel bytes as given. */
std::string MakeTga(const TgaHeader &h, const std::string &id, const std::string &cmap, const std::string &pixels);
/* True-colour images from rows of RGB / RGBA bytes, and of one colour. */
std::string MakeTgaRgb(int width, int height, const std::string &rgb);
std::string MakeTgaRgba(int width, int height, const std::string &rgba);
std::string SolidRgb(int width, int height, unsigned char r, unsigned char g, unsigned char b);
std::string SolidRgba(int width, int height, unsigned char r, unsigned char g, unsigned char b, unsigned char a);
/* base + ".tga" (size x size, 32-bit, opaque) and base + ".font" with the glyph lines. */
bool WriteFont(const std::string &base, int size, const std::string &fontlines);

} // namespace gk

#endif
