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

#include "bytes.h"

#define ZIP_TIME 0x0000   /* 00:00:00 */
#define ZIP_DATE 0x5021   /* 2020-01-01 */

/* The fields a local header and a central directory entry share, from the
 * version needed to extract to the extra field's length. */
static void PutMemberFields(bytes_writer_t *w, uint32_t crc, size_t packed, size_t size, size_t namelen)
{
    Bytes_WriteU16(w, 20);          /* version needed */
    Bytes_WriteU16(w, 0);           /* flags */
    Bytes_WriteU16(w, 8);           /* deflated */
    Bytes_WriteU16(w, ZIP_TIME);
    Bytes_WriteU16(w, ZIP_DATE);
    Bytes_WriteU32(w, crc);
    Bytes_WriteU32(w, (uint32_t)packed);
    Bytes_WriteU32(w, (uint32_t)size);
    Bytes_WriteU16(w, (uint16_t)namelen);
    Bytes_WriteU16(w, 0);           /* extra field */
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

static int PackMembers(const std::string &root, const std::vector<std::string> &names, bytes_writer_t *zip,
                       bytes_writer_t *cdir)
{
    for (const std::string &name : names) {
        std::vector<uint8_t> data, packed;
        if (!CG_ReadFile(root + "/" + name, &data) || !Deflate(data, &packed)) {
            fprintf(stderr, "content: cannot pack %s\n", name.c_str());
            return 0;
        }
        uint32_t crc = (uint32_t)crc32(0L, data.data(), (uInt)data.size());
        uint32_t offset = (uint32_t)zip->size;
        Bytes_WriteU32(zip, 0x04034b50);
        PutMemberFields(zip, crc, packed.size(), data.size(), name.size());
        Bytes_WriteData(zip, name.data(), name.size());
        Bytes_WriteData(zip, packed.data(), packed.size());

        Bytes_WriteU32(cdir, 0x02014b50);
        Bytes_WriteU16(cdir, 20);   /* version made by */
        PutMemberFields(cdir, crc, packed.size(), data.size(), name.size());
        Bytes_WriteU16(cdir, 0);    /* comment */
        Bytes_WriteU16(cdir, 0);    /* disk */
        Bytes_WriteU16(cdir, 0);    /* internal attributes */
        Bytes_WriteU32(cdir, 0);    /* external attributes */
        Bytes_WriteU32(cdir, offset);
        Bytes_WriteData(cdir, name.data(), name.size());
    }
    return 1;
}

int CG_Pack(const std::string &zippath, const std::string &root, const std::vector<std::string> &names)
{
    bytes_writer_t zip, cdir;
    Bytes_InitWriter(&zip, 0);
    Bytes_InitWriter(&cdir, 0);
    int ok = PackMembers(root, names, &zip, &cdir);
    uint32_t cdoff = (uint32_t)zip.size;
    Bytes_WriteData(&zip, cdir.data, cdir.size);
    Bytes_WriteU32(&zip, 0x06054b50);
    Bytes_WriteU16(&zip, 0);
    Bytes_WriteU16(&zip, 0);
    Bytes_WriteU16(&zip, (uint16_t)names.size());
    Bytes_WriteU16(&zip, (uint16_t)names.size());
    Bytes_WriteU32(&zip, (uint32_t)cdir.size);
    Bytes_WriteU32(&zip, cdoff);
    Bytes_WriteU16(&zip, 0);
    if (ok && (zip.failed || cdir.failed)) {
        fprintf(stderr, "content: cannot pack %s: out of memory\n", zippath.c_str());
        ok = 0;
    }
    ok = ok && CG_WriteFile(zippath, zip.data, zip.size);
    Bytes_FreeWriter(&zip);
    Bytes_FreeWriter(&cdir);
    return ok ? 0 : 1;
}
