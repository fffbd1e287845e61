/*
 * zipwriter.cpp -- the in-memory zip builder of the tests (zlib for the
 * raw deflate and the CRC-32).
 */
#include "zipwriter.h"

#include <zlib.h>

namespace gk {

static void Put16(std::string &s, uint16_t v)
{
    s.push_back((char)(v & 0xff));
    s.push_back((char)(v >> 8));
}

static void Put32(std::string &s, uint32_t v)
{
    Put16(s, (uint16_t)(v & 0xffff));
    Put16(s, (uint16_t)(v >> 16));
}

std::string ZipDeflate(const std::string &bytes)
{
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, bytes.size()) + 16, '\0');
    zs.next_in = (Bytef *)bytes.data();
    zs.avail_in = (uInt)bytes.size();
    zs.next_out = (Bytef *)out.data();
    zs.avail_out = (uInt)out.size();
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string ZipBuild(const std::vector<ZipMember> &members, const std::string &comment,
                     ZipLayout *layout)
{
    std::string zip, central;
    ZipLayout lay;
    for (const ZipMember &m : members) {
        uint32_t crc = (uint32_t)crc32(0L, (const Bytef *)m.data.data(), (uInt)m.data.size());
        std::string body = m.method == 8 ? ZipDeflate(m.data) : m.data;
        uint16_t flags = m.descriptor ? 8 : 0;
        size_t local = zip.size();
        lay.local.push_back(local);
        Put32(zip, 0x04034b50);
        Put16(zip, 20);
        Put16(zip, flags);
        Put16(zip, (uint16_t)m.method);
        Put16(zip, 0);
        Put16(zip, 0);
        Put32(zip, m.descriptor ? 0 : crc);
        Put32(zip, m.descriptor ? 0 : (uint32_t)body.size());
        Put32(zip, m.descriptor ? 0 : (uint32_t)m.data.size());
        Put16(zip, (uint16_t)m.name.size());
        Put16(zip, 0);
        zip += m.name;
        lay.payload.push_back(zip.size());
        zip += body;
        if (m.descriptor) {
            Put32(zip, 0x08074b50);
            Put32(zip, crc);
            Put32(zip, (uint32_t)body.size());
            Put32(zip, (uint32_t)m.data.size());
        }
        lay.central.push_back(central.size()); /* relative until the end */
        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, (uint16_t)m.method);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, crc);
        Put32(central, (uint32_t)body.size());
        Put32(central, (uint32_t)m.data.size());
        Put16(central, (uint16_t)m.name.size());
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, (uint32_t)local);
        central += m.name;
    }
    size_t cdstart = zip.size();
    for (size_t &c : lay.central)
        c += cdstart;
    zip += central;
    lay.eocd = zip.size();
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, (uint16_t)members.size());
    Put16(zip, (uint16_t)members.size());
    Put32(zip, (uint32_t)central.size());
    Put32(zip, (uint32_t)cdstart);
    Put16(zip, (uint16_t)comment.size());
    zip += comment;
    if (layout)
        *layout = lay;
    return zip;
}

void ZipPut16(std::string &zip, size_t off, uint16_t v)
{
    zip[off] = (char)(v & 0xff);
    zip[off + 1] = (char)(v >> 8);
}

void ZipPut32(std::string &zip, size_t off, uint32_t v)
{
    ZipPut16(zip, off, (uint16_t)(v & 0xffff));
    ZipPut16(zip, off + 2, (uint16_t)(v >> 16));
}

uint32_t ZipGet32(const std::string &zip, size_t off)
{
    const unsigned char *p = (const unsigned char *)zip.data() + off;
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

} // namespace gk
