/* The tests' in-memory zip builder (zlib for deflate and CRC-32). */
#include "zipwriter.h"

#include <zlib.h>

#include "gk_support.h"

namespace gk {

/* Raw deflate, no zlib header. */
static std::string Deflate(const std::string &bytes)
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

/* The fields local and central headers share: flags, method, time and
 * date, CRC, sizes, name length and extra length. */
static void PutCommon(std::string &s, uint16_t flags, const ZipMember &m, uint32_t crc, uint32_t csize, uint32_t usize)
{
    PutFields(s, {{flags, 2}, {(uint32_t)m.method, 2}, {0, 4}, {crc, 4}, {csize, 4}, {usize, 4},
                  {(uint32_t)m.name.size(), 2}, {0, 2}});
}

std::string ZipBuild(const std::vector<ZipMember> &members, const std::string &comment, ZipLayout *layout)
{
    std::string zip, central;
    ZipLayout lay;
    for (const ZipMember &m : members) {
        uint32_t crc = (uint32_t)crc32(0L, (const Bytef *)m.data.data(), (uInt)m.data.size());
        std::string body = m.method == 8 ? Deflate(m.data) : m.data;
        uint32_t csize = (uint32_t)body.size(), usize = (uint32_t)m.data.size();
        uint16_t flags = m.descriptor ? 8 : 0;
        size_t local = zip.size();
        lay.local.push_back(local);
        PutFields(zip, {{0x04034b50, 4}, {20, 2}});
        PutCommon(zip, flags, m, m.descriptor ? 0 : crc, m.descriptor ? 0 : csize, m.descriptor ? 0 : usize);
        lay.payload.push_back(zip.size() + m.name.size());
        zip += m.name + body;
        if (m.descriptor)
            PutFields(zip, {{0x08074b50u, 4}, {crc, 4}, {csize, 4}, {usize, 4}});
        lay.central.push_back(central.size()); /* relative until the end */
        PutFields(central, {{0x02014b50, 4}, {20 | 20 << 16, 4}});     /* made by, needed */
        PutCommon(central, flags, m, crc, csize, usize);
        /* comment length, disk, internal and external attributes, offset */
        PutFields(central, {{0, 4}, {0, 2}, {0, 4}, {(uint32_t)local, 4}});
        central += m.name;
    }
    size_t cdstart = zip.size();
    for (size_t &c : lay.central)
        c += cdstart;
    zip += central;
    lay.eocd = zip.size();
    PutFields(zip, {{0x06054b50, 4}, {0, 4} /* disk numbers */, {(uint32_t)members.size() * 0x10001u, 4},
                    {(uint32_t)central.size(), 4}, {(uint32_t)cdstart, 4}, {(uint32_t)comment.size(), 2}});
    zip += comment;
    if (layout)
        *layout = lay;
    return zip;
}

void ZipPut(std::string &zip, size_t off, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        zip[off + i] = (char)(v >> 8 * i);
}

} // namespace gk
