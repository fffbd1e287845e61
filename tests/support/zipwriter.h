/* Zip archives built in memory for the file layer's tests. */
#ifndef GK_ZIPWRITER_H
#define GK_ZIPWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace gk {

struct ZipMember {
    std::string name, data;
    int method = 8;            /* 0 stored, 8 deflated, others written as stored bytes */
    bool descriptor = false;   /* flag bit 3, sizes in a trailing data descriptor */
};

struct ZipLayout {
    std::vector<size_t> local, payload, central;  /* offsets of each member's records */
    size_t eocd = 0;                              /* of the end record */
};

std::string ZipBuild(const std::vector<ZipMember> &members, const std::string &comment = "",
                     ZipLayout *layout = nullptr);
/* The little-endian field of bytes (2 or 4) at off set to v. */
void ZipPut(std::string &zip, size_t off, uint32_t v, int bytes = 4);

} // namespace gk

#endif
