/* The generated level files read with the game's own loader. */
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <set>
#include <string>

#include "gk_standin.h"
#include "gk_support.h"
#include "wavwriter.h"

namespace {

/* Whether any stretch of w samples starting at a multiple of w/2 comes back
 * later, sample for sample (a rolling hash over every start, checked). */
bool Repeats(const std::string &pcm, size_t w)
{
    std::vector<int16_t> x(pcm.size() / 2);
    memcpy(x.data(), pcm.data(), x.size() * 2);
    const uint64_t B = 1000003;
    uint64_t top = 1, h = 0;
    std::map<uint64_t, size_t> marks;
    for (size_t i = 0; i < x.size(); i++) {
        h = h * B + (uint16_t)x[i] - (i >= w ? top * (uint16_t)x[i - w] : 0);
        top = i < w ? top * B : top;
        if (i + 1 < w)
            continue;
        size_t at = i + 1 - w;
        auto m = marks.find(h);
        if (m != marks.end() && !memcmp(&x[m->second], &x[at], w * 2))
            return true;
        if (at % (w / 2) == 0)
            marks[h] = at;
    }
    return false;
}

TEST(ContentLevels, EveryLevelIsSaneAndTogetherTheyUseEveryPlaceableClass)
{
    if (access((gk::DistDir() + "/data/script0.bin").c_str(), R_OK) != 0)
        GTEST_SKIP() << "no generated level files (GK_BUILD_CONTENT off?)";
    harness::Reset();
    std::set<std::string> used, skies;
    for (int n = 0; n < 6; n++) {
        SCOPED_TRACE("level " + std::to_string(n));
        level_t lv;
        memset(&lv, 0, sizeof(lv));
        std::string path = gk::DistDir() + "/data/script" + std::to_string(n) + ".bin";
        ASSERT_EQ(SC_LoadLevel(&lv, path.c_str()), 1) << harness::log;
        EXPECT_TRUE(lv.name[0] && lv.duration >= 60.0f && lv.duration <= 180.0f) << lv.duration;
        std::string wav;
        ASSERT_TRUE(gk::ReadFile(gk::DistDir() + "/" + lv.bgm, &wav)) << lv.bgm;
        std::string pcm = gk::WavDataChunk(wav);
        uint32_t rate = gk::U32(wav, 24);
        EXPECT_GE(pcm.size() / 2, 60u * rate) << "the music lasts a minute before it repeats";
        EXPECT_FALSE(Repeats(pcm, rate)) << "a second of the music comes again within the loop";
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
