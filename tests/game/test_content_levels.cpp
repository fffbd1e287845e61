/*
 * The six generated level files of the runnable tree read with the game's
 * own loader: each loads, names its music, sky and a play time of one to
 * three minutes, places only known classes inside the world sphere with
 * unit directions, aims its bomb chickens at the player, gets busier
 * towards its end; together the levels use every class a level can place.
 */
#include <gtest/gtest.h>

#include <math.h>
#include <unistd.h>

#include <set>
#include <string>

#include "game_harness.h"
#include "gk_support.h"

namespace {

struct ContentLevels : ::testing::Test {
    level_t lv;
    void SetUp() override
    {
        harness::Reset();
        memset(&lv, 0, sizeof(lv));
        if (access((gk::DistDir() + "/data/script0.bin").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no generated level files (GK_BUILD_CONTENT off?)";
    }
    void TearDown() override { Level_FreeSpawns(&lv); }
    void Load(int n)
    {
        Level_FreeSpawns(&lv);
        memset(&lv, 0, sizeof(lv));
        std::string path = gk::DistDir() + "/data/script" + std::to_string(n) + ".bin";
        ASSERT_EQ(SC_LoadLevel(&lv, path.c_str()), 1) << harness::log;
    }
};

float Len(const float *v)
{
    return sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

TEST_F(ContentLevels, EveryLevelLoadsWithMusicSkyAndSaneSpawns)
{
    const float world = sqrtf(480000.0f);
    for (int n = 0; n < 6; n++) {
        SCOPED_TRACE("level " + std::to_string(n));
        Load(n);
        EXPECT_STRNE(lv.name, "");
        EXPECT_GE(lv.duration, 60.0f);
        EXPECT_LE(lv.duration, 180.0f);
        EXPECT_EQ(access((gk::DistDir() + "/" + lv.bgm).c_str(), R_OK), 0) << lv.bgm;
        const classrow_t *sky = G_ClassByName(lv.skysphere);
        ASSERT_NE(sky, nullptr);
        EXPECT_GE(sky->subclass, SUB_SKYSPHERE01);
        EXPECT_LE(sky->subclass, SUB_SKYSPHERE07);
        ASSERT_GT(Level_PendingCount(&lv), 10);
        EXPECT_LE(lv.pending.next->spawntime, 2.0f) << "something to shoot at once";
        for (spawnrec_t *r = lv.pending.next; r != &lv.pending; r = r->next) {
            SCOPED_TRACE(r->name);
            const classrow_t *row = G_ClassByName(r->name);
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->levelflag, 1);
            EXPECT_EQ(r->mainclass, row->mainclass);
            EXPECT_LT(Len(r->pos), world);
            EXPECT_GT(Len(r->pos), 250.0f) << "not on top of the player";
            EXPECT_LT(r->spawntime, lv.duration);
            EXPECT_GE(r->speed, 0.0f);
            EXPECT_LE(r->speed, 150.0f);
            if (r->speed > 0) {
                EXPECT_NEAR(Len(r->dir), 1.0f, 0.01f);
            }
            if (r->subclass >= SUB_P01 && r->subclass <= SUB_P07) {
                EXPECT_EQ(r->speed, 0.0f);
                EXPECT_LE(Len(r->pos), 620.0f) << "a planet stays inside the far plane";
            }
            if (r->subclass == SUB_BOMBE) {
                /* straight at the player, to explode next to the view */
                float along = -(r->pos[0] * r->dir[0] + r->pos[1] * r->dir[1] + r->pos[2] * r->dir[2]);
                EXPECT_GT(along / Len(r->pos), 0.999f);
            }
        }
    }
}

/* Spawns of a level in [t0, t1), counting the periodic repeats. */
int SpawnsBetween(const level_t &lv, float t0, float t1)
{
    int n = 0;
    for (const spawnrec_t *r = lv.pending.next; r != &lv.pending; r = r->next) {
        float t = r->spawntime;
        do {
            if (t >= t0 && t < t1)
                n++;
            t += r->respawnperiod;
        } while (r->respawnperiod > 0 && t < t1);
    }
    return n;
}

TEST_F(ContentLevels, LevelsGetBusierTowardsTheirEndAndFromLevelToLevel)
{
    float lastrate = 0;
    for (int n = 0; n < 6; n++) {
        SCOPED_TRACE("level " + std::to_string(n));
        Load(n);
        float half = lv.duration / 2;
        int first = SpawnsBetween(lv, 0, half), second = SpawnsBetween(lv, half, lv.duration);
        EXPECT_GT(second, first);
        float rate = (first + second) / lv.duration;
        EXPECT_GT(rate, 0.2f);
        EXPECT_GE(rate, lastrate * 0.95f) << "later levels are not calmer";
        lastrate = rate;
    }
}

TEST_F(ContentLevels, TogetherTheLevelsUseEveryPlaceableClass)
{
    std::set<std::string> used, skies;
    for (int n = 0; n < 6; n++) {
        Load(n);
        skies.insert(lv.skysphere);
        for (spawnrec_t *r = lv.pending.next; r != &lv.pending; r = r->next)
            used.insert(G_ClassByName(r->name)->classname);
    }
    for (int i = 0; i < CLASS_COUNT; i++) {
        const classrow_t *row = G_ClassByIndex(i);
        if (!row->levelflag || (row->subclass >= SUB_SKYSPHERE01 && row->subclass <= SUB_SKYSPHERE07))
            continue;
        EXPECT_TRUE(used.count(row->classname)) << row->classname << " is in no level";
    }
    EXPECT_EQ(skies.size(), 6u) << "every level has its own sky";
}

} // namespace
