/*
 * gkpreload -- the load list of every level for the engine's read-ahead:
 * each level is loaded once on the headless engine with the real game
 * module, and the images, model files and collision files it reads are
 * written, in the order read and relative to the data directory, into
 * "<data directory>preload<level>.txt".  Run in the runnable tree.
 * Usage: gkpreload [game directory]   (default "data")
 */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common.h"
#include "engine.h"
#include "hitch.h"

/* The files of the notes made while a level loaded, each once. */
static std::vector<std::string> Preload_Files(const char *datadir)
{
    std::vector<std::string> files;
    size_t skip = strlen(datadir);
    int kind;
    for (int i = 0; const char *name = Hitch_NoteAt(i, &kind); i++) {
        if ((kind != HN_TEXTURE && kind != HN_MODEL) || strncmp(name, datadir, skip) != 0)
            continue;
        std::string base = name + skip;
        std::vector<std::string> add;
        if (kind == HN_TEXTURE)
            add = {base + ".tga"};
        else
            add = {base + ".dmo", base + ".dbb"};
        for (const std::string &f : add)
            if (f.find("..") == std::string::npos && std::find(files.begin(), files.end(), f) == files.end())
                files.push_back(f);
    }
    return files;
}

int main(int argc, char **argv)
{
    std::string game = argc > 1 ? argv[1] : "data", datadir = game + "/";
    int levels = 0;
    for (int level = 0; level < 8; level++) {
        char script[64];
        snprintf(script, sizeof(script), "data/script%d.bin", level);
        if (access(script, R_OK) != 0)
            continue;
        eng_headless_t h;
        memset(&h, 0, sizeof(h));
        h.gamedir = game.c_str();
        h.level = level;
        h.nosound = 1;
        Hitch_Record(1);
        int ok = Eng_StartHeadless(&h);
        std::vector<std::string> files = Preload_Files(datadir.c_str());
        Eng_StopHeadless();
        Hitch_Record(0);
        if (!ok) {
            fprintf(stderr, "gkpreload: level %d does not load\n", level);
            return 1;
        }
        std::string list;
        for (const std::string &f : files)
            list += f + "\n";
        std::string out = datadir + "preload" + std::to_string(level) + ".txt";
        if (!Com_WriteFile(out.c_str(), list.data(), list.size())) {
            fprintf(stderr, "gkpreload: cannot write %s\n", out.c_str());
            return 1;
        }
        levels++;
    }
    printf("gkpreload: load lists of %d levels written\n", levels);
    return 0;
}
