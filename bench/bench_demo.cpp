/*
 * bench_demo -- the standard frame-rate figure: a demo of the heaviest
 * level (the one that spawns the most targets), recorded from scripted
 * input on the headless engine (held fire, a sweeping view, the right
 * button now and then, a 40 Hz clock), then played with -timedemo in an
 * 800x600 window and verified with -verifydemo.
 *   bench_demo record OUT [level]   (run in the runnable tree; the build
 *                                    does this into bench/heaviest.dem)
 *   bench_demo [DEMO]               timedemo and verifydemo figures
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "demo.h"
#include "engine.h"

#ifndef GK_BENCH_DEMO
#define GK_BENCH_DEMO "heaviest.dem"
#endif

static uint32_t bench_ms;
static uint32_t Bench_Clock(void) { return bench_ms; }

/* Targets a level file spawns over its play time. */
static long Bench_SpawnCount(int level)
{
    char path[64];
    snprintf(path, sizeof(path), "data/script%d.bin", level);
    FILE *f = fopen(path, "rb");
    if (!f)
        return -1;
    float duration = Demo_LevelDuration(level), rec[41];
    long n = 0;
    fseek(f, 523, SEEK_SET);
    while (fread(rec, 165, 1, f) == 1) {
        float t, period;
        memcpy(&t, rec, 4);
        memcpy(&period, (char *)rec + 4, 4);
        if (t <= duration)
            n += 1 + (period > 0.0f ? (long)((duration - t) / period) : 0);
    }
    fclose(f);
    return n;
}

static int Bench_Record(const char *out, int level)
{
    if (level < 0) {
        long best = -1;
        for (int i = 0; i < 8; i++) {
            long n = Bench_SpawnCount(i);
            if (n > best) {
                best = n;
                level = i;
            }
        }
    }
    Sys_SetClock(Bench_Clock);
    bench_ms = 1000;
    eng_headless_t h = {};
    h.gamedir = "data";
    h.level = level;
    h.nosound = 1;
    if (!Eng_StartHeadless(&h)) {
        fprintf(stderr, "bench_demo: level %d did not start\n", level);
        return 1;
    }
    demoheader_t head;
    Demo_MakeHeader(&head, level, 0, Eng_MouseSens(5), 0);
    if (!Demo_StartRecord(out, &head))
        return 1;
    int limit = (int)((Demo_LevelDuration(level) + 10.0f) * 40.0f);
    int f = 0;
    for (; f < limit; f++) {
        float t = f * 0.025f;
        if (f == 10)
            Eng_PostEvent(IE_LBUTTONDOWN, 0, 0);
        if (f % 200 == 100) {
            Eng_PostEvent(IE_RBUTTONDOWN, 0, 0);
            Eng_PostEvent(IE_RBUTTONUP, 0, 0);
        }
        Eng_PostEvent(IE_MOUSEMOVE, (int)lrintf(30.0f * sinf(t * 0.7f)),
                      (int)lrintf(12.0f * sinf(t * 1.3f)));
        bench_ms += 25;
        if (!Eng_RunFrame())
            break;
    }
    Demo_StopRecord();
    Eng_StopHeadless();
    fprintf(stderr, "bench_demo: level %d recorded, %d frames\n", level, f + 1);
    return 0;
}

/* Runs the engine in the runnable tree; returns the first line of the
 * stream that holds key. */
static std::string Bench_Run(const std::string &args, const char *key)
{
    std::string cmd = "cd '" GK_DIST_DIR "' && ./vexengine -game data " + args;
    FILE *p = popen(cmd.c_str(), "r");
    std::string found;
    char line[512];
    while (p && fgets(line, sizeof(line), p))
        if (found.empty() && strstr(line, key))
            found = line;
    if (p)
        pclose(p);
    return found;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "record") == 0)
        return Bench_Record(argv[2], argc > 3 ? atoi(argv[3]) : -1);
    std::string demo = argc > 1 ? argv[1] : GK_BENCH_DEMO;
    if (demo[0] != '/') {
        char cwd[1024];
        if (getcwd(cwd, sizeof(cwd)))
            demo = std::string(cwd) + "/" + demo;
    }
    std::string t = Bench_Run("-width 800 -height 600 -timedemo '" + demo + "'", "timedemo ");
    printf("timedemo 800x600: %s", t.empty() ? "failed\n" : t.c_str() + 9);
    setenv("VEX_LOG", "1", 1); /* the frame count and times come in the log */
    std::string v = Bench_Run("-verifydemo '" + demo + "' 2>&1 >/dev/null", "verifydemo:");
    int frames = 0;
    double secs = 0, cpu = 0;
    if (sscanf(v.c_str(), "* verifydemo: %d frames in %lf s, %lf s CPU", &frames, &secs,
               &cpu) == 3 && secs > 0 && cpu > 0)
        printf("verifydemo: %d frames in %.3f s (%.3f s CPU): %.0f simulated frames/s, "
               "%.0f per CPU second (%.4f ms CPU a frame)\n",
               frames, secs, cpu, frames / secs, frames / cpu, cpu * 1000.0 / frames);
    else
        printf("verifydemo: failed\n");
    return 0;
}
