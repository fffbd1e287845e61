/* gk_support.cpp -- scratch directories and file helpers for the tests. */
#include "gk_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "bytes.h"

namespace gk {

TempDir::TempDir(const std::string &in)
{
    std::string base = in.empty() ? std::string(GK_BINARY_DIR) + "/scratch" : in;
    MakeDirs(base);
    std::string tmpl = base + "/t.XXXXXX";
    path = mkdtemp(tmpl.data()) ? tmpl : base;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!oldcwd.empty() && chdir(oldcwd.c_str()) != 0)
        perror(oldcwd.c_str());
    if (!getenv("GK_KEEP_TEMP"))
        std::filesystem::remove_all(path, ec);
}

bool TempDir::Enter()
{
    char buf[4096];
    if (oldcwd.empty())
        oldcwd = getcwd(buf, sizeof(buf)) ? buf : ".";
    return chdir(path.c_str()) == 0;
}

bool WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    return f && f.write(bytes.data(), (std::streamsize)bytes.size());
}

bool ReadFile(const std::string &path, std::string *bytes)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream ss;
    ss << f.rdbuf();
    *bytes = ss.str();
    return true;
}

bool MakeDirs(const std::string &path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec;
}

std::string DistDir() { return GK_DIST_DIR; }
std::string SourceDir() { return GK_SOURCE_DIR; }
std::string TestmodDir() { return GK_TESTMOD_DIR; }

void PutFields(std::string &s, std::initializer_list<std::pair<uint32_t, int>> fields)
{
    bytes_writer_t w;
    Bytes_InitWriter(&w, 64);
    for (const auto &f : fields)
        f.second == 4 ? Bytes_WriteU32(&w, f.first)
                      : f.second == 2 ? Bytes_WriteU16(&w, (uint16_t)f.first) : Bytes_WriteU8(&w, (uint8_t)f.first);
    s.append((const char *)w.data, w.size);
    Bytes_FreeWriter(&w);
}

} // namespace gk
