/* The generated level files read with the game's own loader. */
#include <gtest/gtest.h>

#include <unistd.h>

#include <set>
#include <string>

#include "gk_standin.h"
#include "gk_support.h"
#include "wavwriter.h"

namespace {

TEST(ContentLevels, EveryLevelIsSaneAndTogetherTheyUseEveryPlaceableClass)
{
    if (access((gk::DistDir() + "/data/script0.bin").c_str(), R_OK) != 0)
        GTEST_SKIP() << "no generated level files (GK_BUILD_CONTENT off?)";
    harness::Reset();
    std::set<std::string> used, skies;
    for (int n = 0; n < 6; n++) {
        SCOPED_TRACE("level " + std::to_string(n));
        level_t lv{};
        std::string path = gk::DistDir() + "/data/script" + std::to_string(n) + ".bin";
        ASSERT_EQ(SC_LoadLevel(&lv, path.c_str()), 1) << harness::log;
        EXPECT_TRUE(lv.name[0] && lv.duration >= 60.0f && lv.duration <= 180.0f) << lv.duration;
        std::string wav;
        ASSERT_TRUE(gk::ReadFile(gk::DistDir() + "/" + lv.bgm, &wav)) << lv.bgm;
        std::string pcm = gk::WavDataChunk(wav);
        uint32_t rate = gk::U32(wav, 24);
        EXPECT_GE(pcm.size() / 2, 60u * rate) << "the music lasts a minute before it repeats";
        EXPECT_EQ(pcm.find(pcm.substr(0, 2 * rate), 2), std::string::npos) << "the music starts over within the loop";
        const auto *sky = G_ClassByName(lv.skysphere);
        ASSERT_TRUE(sky && sky->subclass >= SUB_SKYSPHERE01 && sky->subclass <= SUB_SKYSPHERE07);
        skies.insert(lv.skysphere);
        ASSERT_GT(Level_PendingCount(&lv), 10);
        EXPECT_LE(lv.pending.next->spawntime, 2.0f) << "something to shoot at once";
        for (spawnrec_t *r = lv.pending.next; r != &lv.pending; r = r->next) {
            SCOPED_TRACE(r->name);
            const auto *row = G_ClassByName(r->name);
            ASSERT_TRUE(row && row->levelflag == LF_LEVEL);
            used.insert(row->classname);
            float dist = Vec_Length(r->pos);
            /* inside the world, away from the player, in time, at a sane speed */
            EXPECT_TRUE(dist < G_WORLD_RADIUS && dist > 250.0f && r->spawntime < lv.duration) << dist;
            EXPECT_TRUE(r->speed >= 0.0f && r->speed <= 150.0f) << r->speed;
            if (r->speed > 0) {
                EXPECT_NEAR(Vec_Length(r->dir), 1.0f, 0.01f);
            }
            if (r->subclass >= SUB_P01 && r->subclass <= SUB_P07) { /* still, inside the far plane */
                EXPECT_TRUE(r->speed == 0.0f && dist <= 620.0f);
            }
            if (r->subclass == SUB_BOMBE) { /* straight at the player */
                EXPECT_GT(-Vec_Dot(r->pos, r->dir) / dist, 0.999f);
            }
        }
        Level_FreeSpawns(&lv);
    }
    for (int i = 0; G_ClassByIndex(i); i++) {
        const auto *row = G_ClassByIndex(i);
        if (row->levelflag && (row->subclass < SUB_SKYSPHERE01 || row->subclass > SUB_SKYSPHERE07)) {
            EXPECT_TRUE(used.count(row->classname)) << row->classname << " is in no level";
        }
    }
    EXPECT_EQ(skies.size(), 6u) << "every level has its own sky";
}

} // namespace
