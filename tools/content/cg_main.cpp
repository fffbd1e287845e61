/*
 * cg_main.cpp -- the content generator's command line.  Each kind of
 * content is one sub-command writing into the directory given:
 *   gkcontent models DIR     scene text (.ase) of every model
 *   gkcontent textures DIR   TGA textures and screen images
 *   gkcontent fonts DIR      the font images and ".font" files
 *   gkcontent sounds DIR     sound effects and level music (WAV)
 *   gkcontent lang DIR       translation packages
 *   gkcontent pack ZIP DIR   every .dmo, .dbb, .tga and .font file of DIR
 *                            into one archive with deflated members
 * The exit status is 0 when everything was written.
 */
#include "cg_common.h"

#include <dirent.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

static int EndsWith(const std::string &s, const char *tail)
{
    size_t n = strlen(tail);
    return s.size() > n && s.compare(s.size() - n, n, tail) == 0;
}

static int PackDir(const std::string &zip, const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (!d) {
        fprintf(stderr, "content: cannot read %s\n", dir.c_str());
        return 1;
    }
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (EndsWith(n, ".dmo") || EndsWith(n, ".dbb") || EndsWith(n, ".tga") || EndsWith(n, ".font"))
            names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        fprintf(stderr, "content: nothing to pack in %s\n", dir.c_str());
        return 1;
    }
    int rc = CG_Pack(zip, dir, names);
    if (!rc)
        printf("content: packed %zu files into %s\n", names.size(), zip.c_str());
    return rc;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s models|textures|fonts|sounds|lang DIR | pack ZIP DIR\n", argv[0]);
        return 2;
    }
    std::string cmd = argv[1], dir = argv[2];
    int fails;
    if (cmd == "pack") {
        if (argc < 4) {
            fprintf(stderr, "usage: %s pack ZIP DIR\n", argv[0]);
            return 2;
        }
        return PackDir(argv[2], argv[3]) ? 1 : 0;
    }
    if (!CG_MakeDirs(dir)) {
        fprintf(stderr, "content: cannot create %s\n", dir.c_str());
        return 1;
    }
    if (cmd == "models")
        fails = CG_GenModels(dir);
    else if (cmd == "textures")
        fails = CG_GenTextures(dir);
    else if (cmd == "fonts")
        fails = CG_GenFonts(dir);
    else if (cmd == "sounds")
        fails = CG_GenSounds(dir);
    else if (cmd == "lang")
        fails = CG_GenLang(dir);
    else {
        fprintf(stderr, "content: unknown command %s\n", cmd.c_str());
        return 2;
    }
    return fails ? 1 : 0;
}
