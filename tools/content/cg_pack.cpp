/*
 * cg_pack.cpp -- the archive writer: a zip file whose members are raw
 * deflate streams with their CRC-32, local headers that carry the sizes
 * (no trailing data descriptors), a central directory and its end record.
 * Member times are fixed so that the same content gives the same archive.
 */
#include "cg_common.h"

#include <stdio.h>
#include <string.h>
#include <zlib.h>

#define ZIP_TIME 0x0000   /* 00:00:00 */
#define ZIP_DATE 0x5021   /* 2020-01-01 */

static void Put16(std::vector<uint8_t> *b, unsigned v)
{
    b->push_back((uint8_t)v);
    b->push_back((uint8_t)(v >> 8));
}

static void Put32(std::vector<uint8_t> *b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

static int Deflate(const std::vector<uint8_t> &in, std::vector<uint8_t> *out)
{
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return 0;
    out->resize(deflateBound(&zs, (uLong)in.size()) + 16);
    zs.next_in = (Bytef *)in.data();
    zs.avail_in = (uInt)in.size();
    zs.next_out = out->data();
    zs.avail_out = (uInt)out->size();
    int rc = deflate(&zs, Z_FINISH);
    out->resize(zs.total_out);
    deflateEnd(&zs);
    return rc == Z_STREAM_END;
}

int CG_Pack(const std::string &zippath, const std::string &root, const std::vector<std::string> &names)
{
    std::vector<uint8_t> zip, cdir;
    int count = 0;
    for (const std::string &name : names) {
        std::vector<uint8_t> data, packed;
        if (!CG_ReadFile(root + "/" + name, &data) || !Deflate(data, &packed)) {
            fprintf(stderr, "content: cannot pack %s\n", name.c_str());
            return 1;
        }
        uint32_t crc = (uint32_t)crc32(0L, data.data(), (uInt)data.size());
        uint32_t offset = (uint32_t)zip.size();
        Put32(&zip, 0x04034b50);
        Put16(&zip, 20);
        Put16(&zip, 0);
        Put16(&zip, 8);
        Put16(&zip, ZIP_TIME);
        Put16(&zip, ZIP_DATE);
        Put32(&zip, crc);
        Put32(&zip, (uint32_t)packed.size());
        Put32(&zip, (uint32_t)data.size());
        Put16(&zip, (unsigned)name.size());
        Put16(&zip, 0);
        zip.insert(zip.end(), name.begin(), name.end());
        zip.insert(zip.end(), packed.begin(), packed.end());

        Put32(&cdir, 0x02014b50);
        Put16(&cdir, 20);
        Put16(&cdir, 20);
        Put16(&cdir, 0);
        Put16(&cdir, 8);
        Put16(&cdir, ZIP_TIME);
        Put16(&cdir, ZIP_DATE);
        Put32(&cdir, crc);
        Put32(&cdir, (uint32_t)packed.size());
        Put32(&cdir, (uint32_t)data.size());
        Put16(&cdir, (unsigned)name.size());
        Put16(&cdir, 0);
        Put16(&cdir, 0);
        Put16(&cdir, 0);
        Put16(&cdir, 0);
        Put32(&cdir, 0);
        Put32(&cdir, offset);
        cdir.insert(cdir.end(), name.begin(), name.end());
        count++;
    }
    uint32_t cdoff = (uint32_t)zip.size();
    zip.insert(zip.end(), cdir.begin(), cdir.end());
    Put32(&zip, 0x06054b50);
    Put16(&zip, 0);
    Put16(&zip, 0);
    Put16(&zip, (unsigned)count);
    Put16(&zip, (unsigned)count);
    Put32(&zip, (uint32_t)cdir.size());
    Put32(&zip, cdoff);
    Put16(&zip, 0);
    if (!CG_WriteFile(zippath, zip.data(), zip.size()))
        return 1;
    return 0;
}
