/* Level files: the loader against hand-built bytes, the writer, the level compiler. */
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <math.h>
#include <unistd.h>

#include "play_data.h"

namespace {

using namespace levelbytes;

struct Level : testing::Test {
    void SetUp() override { harness::Reset(); }
    void TearDown() override { Level_FreeSpawns(&lv); }

    /* Loads bytes written under name (where they can be), keeping the message box text. */
    int Load(const std::string &name, const std::string &bytes)
    {
        path = dir / name;
        gk::WriteFile(path, bytes);
        testing::internal::CaptureStderr();
        int r = SC_LoadLevel(&lv, path.c_str());
        box = testing::internal::GetCapturedStderr();
        return r;
    }

    std::vector<const spawnrec_t *> Pending()
    {
        std::vector<const spawnrec_t *> v;
        for (spawnrec_t *r = lv.pending.next; r != &lv.pending; r = r->next)
            v.push_back(r);
        return v;
    }

    gk::TempDir dir;
    level_t lv{};
    std::string path, box;
};

TEST_F(Level, WrongVersionAndRenamedFileAreRefused)
{
    ASSERT_EQ(Load("s.bin", Header("s.bin", "L", "m", 1, "skysphere01", 2)), 0);
    EXPECT_EQ(box, "Fehler: Fehler beim Lesen von " + path + ": Falsche Dateiversion (2)\n");
    /* a renamed file fails the name comparison */
    ASSERT_EQ(Load("script1.bin", Header("script2.bin") + Spawn(1, 0, "chicken")), 0);
    EXPECT_EQ(box, "Fehler: CRC Fehler (script1.bin)\n");
    /* letter case counts in the stored name */
    ASSERT_EQ(Load("script1.bin", Header("Script1.bin")), 0);
    EXPECT_EQ(box, "Fehler: CRC Fehler (script1.bin)\n");
}

TEST_F(Level, BaseNameTakesEitherSeparator)
{
    /* a backslash may be part of a file name here; the loader still splits at it */
    std::string b = Header("x.bin");
    std::string odd = dir / "a\\x.bin";
    gk::WriteFile(odd, b);
    EXPECT_EQ(SC_LoadLevel(&lv, odd.c_str()), 1) << harness::log;
    gk::WriteFile(dir / "x.bin", b);
    EXPECT_EQ(SC_LoadLevel(&lv, "x.bin"), 0); /* not in the working directory */
}

TEST_F(Level, TruncatedFilesNameWhereTheyEnd)
{
    std::string h = Header("s.bin");
    ASSERT_EQ(Load("s.bin", h), 1);
    EXPECT_TRUE(lv.duration == 60 && std::string(lv.skysphere) == "skysphere01") << lv.duration << lv.skysphere;
    ASSERT_EQ(Load("s.bin", ""), 1); /* an empty file is an empty level, whatever the record held */
    EXPECT_TRUE(!lv.skysphere[0] && !lv.name[0] && !lv.bgm[0] && lv.duration == 0 && Level_PendingCount(&lv) == 0);
    for (size_t cut : {size_t(2), size_t(4), size_t(100), size_t(300), size_t(522)}) {
        ASSERT_EQ(Load("s.bin", h.substr(0, cut)), 0) << cut;
        EXPECT_EQ(box.rfind("Fehler: Fehler beim Lesen von " + path + ": Unerwartetes Dateiende (", 0), 0u);
    }
    ASSERT_EQ(Load("s.bin", h + std::string(1, 'x')), 0);
    std::string rec = Spawn(2, 0, "chicken");
    ASSERT_EQ(Load("s.bin", h + Spawn(1, 0, "egg") + rec.substr(0, 164)), 0);
    EXPECT_EQ(box, ""); /* no message box in this case */
    /* the first record was read; the cut one is not in the list */
    EXPECT_EQ(Level_PendingCount(&lv), 1);
}

TEST_F(Level, TheTableHoldsEight)
{
    ASSERT_TRUE(gk::MakeDirs(dir / "data") && dir.Enter());
    gk::WriteFile(dir / "data/script0.bin", Header("script0.bin"));
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(Level_Load(0) != nullptr, i < 8) << i;
    Level_FreeAll();
}

TEST_F(Level, MissingFileAndOverlongPath)
{
    EXPECT_EQ(Load("nodir/none.bin", ""), 0);
    EXPECT_EQ(box, "Fehler: Kann Datei " + path + " nicht oeffnen: No such file or directory\n");
    /* an overlong path is cut in the box only */
    EXPECT_EQ(Load(std::string(600, 'a') + ".bin", ""), 0);
    EXPECT_TRUE(box.size() <= 255u + strlen("Fehler: \n") && box.rfind("Fehler: Kann Datei ", 0) == 0u) << box;
}

TEST_F(Level, UnterminatedFieldsAreCutAt128)
{
    std::string full(129, 'n');
    std::string b = Header(std::string(128, 'q'), full, full, 1.0f, full);
    std::string rec = Spawn(0, 0, std::string(129, 'c'));
    ASSERT_EQ(Load("s.bin", b + rec), 0); /* 128 'q' is not the base name */
    std::string name(128, 'q');
    ASSERT_EQ(Load(name, b + rec + Spawn(1, 0, "chicken")), 1) << harness::log;
    EXPECT_EQ((std::vector<size_t>{strlen(lv.name), strlen(lv.bgm), strlen(lv.skysphere)}),
              (std::vector<size_t>{128, 128, 128}));
    /* the unterminated class name finds no class: skipped */
    ASSERT_EQ(Level_PendingCount(&lv), 1);
    EXPECT_STREQ(lv.pending.next->name, "chicken");
}

TEST_F(Level, UnschedulableRecordsAreSkippedEqualSpawntimesKeepFileOrder)
{
    std::string b = Header("s.bin") + Spawn(NAN, 0, "chicken") + Spawn(1, INFINITY, "chicken") +
                    Spawn(1, 0, "chicken", 1e30f, -1e30f, 0) + Spawn(2, 0, "chicken", 0, 0, 0, 0, 0, 0, NAN) +
                    Spawn(-5, -1, "nosuch") + Spawn(-5, -1, "chicken") + Spawn(3, 0, "egg") +
                    Spawn(1, 0, "ballon") + Spawn(3, 0, "bombe") + Spawn(1, 0, "komet");
    ASSERT_EQ(Load("s.bin", b), 1);
    auto p = Pending();
    std::vector<std::string> names;
    for (auto *r : p)
        names.push_back(r->name);
    EXPECT_EQ(names, (std::vector<std::string>{"chicken", "chicken", "ballon", "komet", "egg", "bombe"}));
    EXPECT_EQ((std::vector<float>{p[0]->spawntime, p[1]->pos[0]}), (std::vector<float>{-5, 1e30f})) << "negative times kept, huge places too";
}

TEST_F(Level, WriterProducesTheSameBytes)
{
    level_t w = {"Farm", "sounds/farm.wav", 90.5f, "skysphere03", {}, nullptr};
    Level_InitLists(&w);
    spawnrec_t r[2] = {{1, 0, "egg", {0, 0, -300}, {0, 0, 1}, 50, 0, 0, nullptr, nullptr},
                       {2, 4, "komet", {0, 0, -300}, {0, 0, 1}, 50, 0, 0, nullptr, nullptr}};
    for (spawnrec_t &s : r)
        Level_InsertSpawn(&w, &s);
    std::string out = dir / "out.bin";
    ASSERT_EQ(Level_WriteFile(out.c_str(), "data/script3.bin", &w), 1);
    std::string got;
    ASSERT_TRUE(gk::ReadFile(out, &got));
    std::string want = Header("script3.bin", "Farm", "sounds/farm.wav", 90.5f, "skysphere03") +
                       Spawn(1, 0, "egg") + Spawn(2, 4, "komet");
    EXPECT_TRUE(got == want);
    /* a stored name that does not fit is refused, nothing written */
    EXPECT_EQ(Level_WriteFile((dir / "o2.bin").c_str(), std::string(129, 'a').c_str(), &w), 0);
    EXPECT_EQ(Level_WriteFile((dir / "nodir/o.bin").c_str(), "o.bin", &w), 0);
    /* a full disk shows only when the buffered bytes go out at the close */
    EXPECT_EQ(Level_WriteFile("/dev/full", "o.bin", &w), 0);
}

void StderrPrintf(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
}

/* Loads path with the address space capped 8 MB above what the process uses now. */
void LoadWithLittleMemory(const char *path)
{
    gi.conprintf = StderrPrintf;
    long pages = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f || fscanf(f, "%ld", &pages) != 1)
        exit(3);
    fclose(f);
    rlim_t now = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE);
    struct rlimit rl = {now + (8u << 20), now + (8u << 20)};
    if (setrlimit(RLIMIT_AS, &rl) != 0)
        exit(4);
    level_t lv{};
    SC_LoadLevel(&lv, path);
    exit(0);
}

TEST_F(Level, OutOfMemoryForASpawnRecordEndsTheProcess)
{
    /* 200 000 records need far more than the 8 MB left */
    std::string b = Header("big.bin"), rec = Spawn(1, 0, "chicken");
    b.reserve(b.size() + 200000 * rec.size());
    for (int i = 0; i < 200000; i++)
        b += rec;
    path = dir / "big.bin";
    ASSERT_TRUE(gk::WriteFile(path, b));
    b.clear();
    b.shrink_to_fit();
    EXPECT_EXIT(LoadWithLittleMemory(path.c_str()), testing::ExitedWithCode(1),
                "SC_LoadLevel: out of mem at entity #[0-9]+\n");
}

/* The level compiler's files read back; bad descriptions refused. */
struct LevelCompiler : Level {
    gk::ProcResult Run(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = {std::string(GK_BINARY_DIR) + "/tools/levelc/levelc"};
        argv.insert(argv.end(), args.begin(), args.end());
        return gk::RunProcess(argv);
    }
};

TEST_F(LevelCompiler, DescriptionToFileAndBack)
{
    gk::WriteFile(dir / "l.txt", "# sample\n"
                                 "name     Sample farm  \n"
                                 "music    sounds/bgm1.wav\n"
                                 "duration 90.5\n"
                                 "sky      skysphere04\n"
                                 "spawn 2   0   chicken      -100 20 -400  1 0 0  40\n"
                                 "spawn 0.5 0   egg           0 50 -400  0 0 1  10 # first\n"
                                 "spawn 2   1.5 Superchicken  100 20 -400 -1 0 0  45\n");
    std::string out = dir / "data/script6.bin";
    gk::MakeDirs(dir / "data");
    auto r = Run({dir / "l.txt", out});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(SC_LoadLevel(&lv, out.c_str()), 1) << harness::log;
    EXPECT_EQ((std::vector<std::string>{lv.name, lv.bgm, lv.skysphere}),
              (std::vector<std::string>{"Sample farm", "sounds/bgm1.wav", "skysphere04"}));
    EXPECT_FLOAT_EQ(lv.duration, 90.5f);
    auto p = Pending();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ((std::vector<std::string>{p[0]->name, p[1]->name, p[2]->name}),
              (std::vector<std::string>{"egg", "chicken", "Superchicken"}));
    EXPECT_EQ((std::vector<float>{p[2]->respawnperiod, p[1]->pos[0]}), (std::vector<float>{1.5f, -100}));
    /* an install name other than the output's */
    ASSERT_EQ(Run({dir / "l.txt", dir / "tmp.bin", "data/script2.bin"}).status, 0);
    EXPECT_EQ(SC_LoadLevel(&lv, (dir / "tmp.bin").c_str()), 0);
    auto c = Run({"--check", out});
    EXPECT_EQ(c.status, 0);
    EXPECT_NE(c.out.find("spawn 0.5 0 egg 0 50 -400 0 0 1 10\n"), std::string::npos) << c.out;
}

TEST_F(LevelCompiler, RejectsBadDescriptions)
{
    const std::string bad[] = {
        "sky skysphere01\nspawn 1 0 chickn 0 0 -300 0 0 1 10\n",
        "sky skysphere01\nspawn 1e40 0 chicken 0 0 -300 0 0 1 10\n", "sky skysphere01\nwobble 3\n",
        "sky skysphere01\nname " + std::string(129, 'n') + "\n"};
    for (const std::string &b : bad) {
        gk::WriteFile(dir / "b.txt", b);
        auto r = Run({dir / "b.txt", dir / "b.bin"});
        EXPECT_EQ(r.status, 1) << b;
        EXPECT_NE(r.err.find("b.txt:"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Run({dir / "missing.txt", dir / "b.bin"}).status, 1);
    EXPECT_EQ(Run({}).status, 2);
}

} // namespace
