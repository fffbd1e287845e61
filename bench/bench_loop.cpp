/*
 * bench_loop -- runs frames of the real engine loop headless against the
 * recording test module (logging off) and prints frames per second and the
 * CPU time of one frame.  Usage: bench_loop [frames] [module directory]
 */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine.h"

#ifndef GK_TESTMOD_DIR
#define GK_TESTMOD_DIR "tests/testmod"
#endif

static double Seconds(clockid_t id)
{
    struct timespec ts;
    clock_gettime(id, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

int main(int argc, char **argv)
{
    int frames = argc > 1 ? atoi(argv[1]) : 200000;
    std::string moddir = argc > 2 ? argv[2] : GK_TESTMOD_DIR "/recorder";
    std::string work = std::filesystem::temp_directory_path() / "gk-bench-loop";
    std::filesystem::create_directories(work + "/data");
    std::filesystem::remove(work + "/data/game.dll");
    std::filesystem::create_symlink(std::filesystem::absolute(moddir + "/game.dll"),
                                    work + "/data/game.dll");
    if (chdir(work.c_str()) != 0)
        return 1;
    unsetenv("TESTMOD_LOG");
    setenv("TESTMOD_SPAWN", "1", 1);

    eng_headless_t h = {};
    h.gamedir = "data";
    if (!Eng_StartHeadless(&h)) {
        fprintf(stderr, "bench_loop: the test module did not start\n");
        return 1;
    }
    double wall0 = Seconds(CLOCK_MONOTONIC), cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    for (int i = 0; i < frames; i++)
        Eng_RunFrame();
    double wall = Seconds(CLOCK_MONOTONIC) - wall0, cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    Eng_StopHeadless();
    printf("loop: %d frames in %.3f s: %.0f frames/s, %.3f us CPU per frame\n", frames, wall,
           frames / wall, cpu / frames * 1e6);
    return 0;
}
