// AHLF: the parser's limits, CAHLFObj's lookup (loop, exact keys, blend, transpose), and
// getMatrix on the GL matrix.
#include "HlfGlTarget.h"
#include "audio/CBass.h"
#include "formats/CAHLFObj.h"
#include "formats/HlfParse.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace hlf;

namespace
{
// A key whose every matrix element is value, with the time given.
AhlfKey flat(float time, float value)
{
    AhlfKey k;
    k.time = time;
    for (float& m : k.matrix)
        m = value;
    return k;
}

// Keys at 0, 10, ..., 100 whose elements equal the key's time: the blend at t is then t itself.
std::unique_ptr<CAHLFObj> ramp()
{
    std::vector<AhlfKey> keys;
    for (int i = 0; i <= 10; ++i)
        keys.push_back(flat(10.0f * i, 10.0f * i));
    auto obj = std::make_unique<CAHLFObj>();
    obj->SetKeys(keys.data(), static_cast<int>(keys.size()));
    return obj;
}
} // namespace

TEST(AhlfParse, SizeAndCapacity)
{
    std::vector<AhlfKey> keys(3, flat(0, 1));
    keys[1].time = 1, keys[2].time = 2;
    auto bytes = WriteAHLF(keys);
    std::vector<AhlfKey> out;
    std::string fault;

    bytes.resize(bytes.size() + 10);
    EXPECT_FALSE(ParseAHLF("odd.ahlf", bytes, out, fault));
    EXPECT_EQ(out.size(), 3u);
    EXPECT_EQ(fault,
              "\"odd.ahlf\": size 214 bytes is not a multiple of the 68-byte key: the last 10 bytes are "
              "ignored");

    std::vector<AhlfKey> many;
    for (int i = 0; i < 151; ++i)
        many.push_back(flat(float(i), float(i)));
    EXPECT_FALSE(ParseAHLF("many.ahlf", WriteAHLF(many), out, fault));
    ASSERT_EQ(out.size(), 150u);
    EXPECT_EQ(out[149].time, 149.0f);
    EXPECT_NE(fault.find("151 keys, more than the capacity of 150"), std::string::npos) << fault;
    many.pop_back();
    EXPECT_TRUE(ParseAHLF("full.ahlf", WriteAHLF(many), out, fault)) << fault;
    EXPECT_EQ(out.size(), 150u);

    EXPECT_FALSE(ParseAHLF("empty.ahlf", std::vector<std::uint8_t>(), out, fault));
    EXPECT_TRUE(out.empty());
}

TEST(AhlfParse, TimesThatCannotPlayAreReportedButKept)
{
    std::vector<AhlfKey> out;
    std::string fault;
    EXPECT_FALSE(ParseAHLF("back.ahlf", WriteAHLF({flat(0, 0), flat(5, 0), flat(3, 0)}), out, fault));
    EXPECT_EQ(out.size(), 3u);
    EXPECT_NE(fault.find("key 2 time 3 lies before key 1 time 5"), std::string::npos) << fault;

    EXPECT_FALSE(ParseAHLF("zero.ahlf", WriteAHLF({flat(-4, 0), flat(0, 0)}), out, fault));
    EXPECT_NE(fault.find("at or below 0"), std::string::npos) << fault;
    EXPECT_FALSE(ParseAHLF("nan.ahlf", WriteAHLF({flat(NAN, 0), flat(1, 0)}), out, fault));
}

TEST(AhlfParse, KeysThatAreNotAllNumbersAreDroppedSoNoBlendCarriesThem)
{
    std::vector<AhlfKey> keys = {flat(0, 1), flat(10, 2), flat(20, 3), flat(30, 4)};
    keys[1].matrix[5] = NAN;
    keys[2].time = INFINITY;
    std::vector<AhlfKey> out;
    std::string fault;
    EXPECT_FALSE(ParseAHLF("nan.ahlf", WriteAHLF(keys), out, fault));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].time, 0.0f);
    EXPECT_EQ(out[1].time, 30.0f);
    EXPECT_NE(fault.find("2 key(s) hold a value that is not a finite number (first: key 1, matrix[5] = nan): "
                         "they are dropped"),
              std::string::npos)
        << fault;

    // Played back, every frame blends the two keys that are left: all numbers.
    CAHLFObj obj;
    obj.SetKeys(out.data(), static_cast<int>(out.size()));
    for (float t : {0.0f, 5.0f, 15.0f, 29.0f, 45.0f})
    {
        float m[16];
        ASSERT_EQ(obj.Lookup(t, m), 1) << t;
        for (float v : m)
            EXPECT_TRUE(std::isfinite(v)) << t;
    }
}

TEST(AhlfLoad, AFileFarLargerThanATrackIsRefusedUnread)
{
    char name[] = "/tmp/vq_ahlf_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string fault;
    ASSERT_TRUE(WriteFileBytes(name, WriteAHLF({flat(0, 1), flat(1, 1)}), fault)) << fault;
    std::vector<AhlfKey> out;
    // Over the capacity but within reason: the first 150 keys load, as the format wants.
    ASSERT_EQ(truncate(name, 68 * 300), 0);
    EXPECT_FALSE(LoadAHLF(name, out, fault));
    EXPECT_EQ(out.size(), 150u);
    ASSERT_EQ(truncate(name, off_t(1) << 31), 0);
    EXPECT_FALSE(LoadAHLF(name, out, fault));
    EXPECT_TRUE(out.empty());
    EXPECT_NE(fault.find("it is not read"), std::string::npos) << fault;
    std::remove(name);
}

TEST(AhlfParse, TruncatedAtEveryByte)
{
    const auto good = WriteAHLF({flat(0, 1), flat(1, 2)});
    for (std::size_t n = 1; n < good.size(); ++n)
    {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        std::vector<AhlfKey> out;
        std::string fault;
        EXPECT_FALSE(ParseAHLF("cut.ahlf", cut, out, fault)) << n;
        EXPECT_EQ(out.size(), n / 68);
    }
}

TEST(AhlfLookup, ExactKeyHalfwayAndLooping)
{
    auto obj = ramp();
    float m[16];
    EXPECT_EQ(obj->Lookup(30, m), 1);
    EXPECT_EQ(m[0], 30.0f);
    EXPECT_EQ(obj->lastkey, 3);
    EXPECT_EQ(obj->lasttime, 30.0f);

    EXPECT_EQ(obj->Lookup(45, m), 1);
    for (float e : m)
        EXPECT_EQ(e, 45.0f);

    // 4.5 s at 25 frames per second is frame 112.5, which loops to 12.5 over keys 0..100.
    EXPECT_EQ(obj->Lookup(25 * 4.5f, m), 1);
    EXPECT_FLOAT_EQ(m[5], 12.5f);
    // Exactly on the last key: no looping (t is not beyond the span), key 10 applies.
    EXPECT_EQ(obj->Lookup(100, m), 1);
    EXPECT_EQ(m[0], 100.0f);
    // Several loops on.
    EXPECT_EQ(obj->Lookup(1000 + 100 * 3 + 7, m), 1);
    EXPECT_FLOAT_EQ(m[0], 7.0f);
}

TEST(AhlfLookup, FileRowsBecomeGlColumns)
{
    AhlfKey k;
    k.time = 0;
    for (int e = 0; e < 16; ++e)
        k.matrix[e] = float(e);
    k.matrix[3] = 7, k.matrix[7] = 8, k.matrix[11] = 9; // translation, row-major
    auto obj = std::make_unique<CAHLFObj>();
    obj->SetKeys(&k, 1);
    float m[16];
    // A single key at time 0 applies at t = 0.
    ASSERT_EQ(obj->Lookup(0, m), 1);
    EXPECT_EQ(m[12], 7.0f);
    EXPECT_EQ(m[13], 8.0f);
    EXPECT_EQ(m[14], 9.0f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(m[4 * c + r], k.matrix[4 * r + c]);
    // ...and beyond it the track has no span to loop over: nothing, rather than a division by 0.
    EXPECT_EQ(obj->Lookup(0.5f, m), 3);
}

TEST(AhlfLookup, BeforeTheFirstKeyAndEmptyTracks)
{
    float m[16] = {};
    CAHLFObj empty;
    EXPECT_EQ(empty.Lookup(0, m), 3);
    EXPECT_EQ(empty.Lookup(12, m), 3);
    EXPECT_EQ(empty.Lookup(-1, m), 3);

    // Keys at 2 and 4; t = 1 lies before the first key. The blend runs from key lastkey to key 0
    // with the state Load left (lasttime 1, lastkey 1): factor (1 - 1) / (2 - 1) = 0: key 1's values.
    std::vector<AhlfKey> keys = {flat(2, 20), flat(4, 40)};
    auto obj = std::make_unique<CAHLFObj>();
    obj->SetKeys(keys.data(), 2);
    ASSERT_EQ(obj->Lookup(1, m), 1);
    EXPECT_EQ(m[0], 40.0f);
    // After a lookup at 3 the state is (2, key 0); t = 1 then extrapolates from key 0 to key 0.
    ASSERT_EQ(obj->Lookup(3, m), 1);
    EXPECT_EQ(m[0], 30.0f);
    ASSERT_EQ(obj->Lookup(1, m), 1);
    EXPECT_EQ(m[0], 20.0f);

    // A single key at 1 and t = 0.5 before it: the state names key 1, which was never loaded, and
    // lasttime equals the key's time. The key stands alone instead of a division by zero.
    AhlfKey one = flat(1, 5);
    obj->SetKeys(&one, 1);
    ASSERT_EQ(obj->Lookup(0.5f, m), 1);
    for (float e : m)
        EXPECT_EQ(e, 5.0f);
}

TEST(AhlfObj, LoadKeepsWhatFitsAndSaysSo)
{
    char name[] = "/tmp/vq_ahlf_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::vector<AhlfKey> many;
    for (int i = 0; i < 200; ++i)
        many.push_back(flat(float(i), 1));
    std::string error;
    ASSERT_TRUE(WriteFileBytes(name, WriteAHLF(many), error));
    auto obj = std::make_unique<CAHLFObj>();
    testing::internal::CaptureStderr();
    obj->Load(name, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(obj->numkeys, 150);
    EXPECT_EQ(obj->maxtime, 149.0f);
    EXPECT_EQ(obj->mintime, 0.0f);
    EXPECT_EQ(obj->lasttime, 1.0f);
    EXPECT_EQ(obj->lastkey, 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(name), std::string::npos);

    testing::internal::CaptureStderr();
    obj->Load("/nonexistent/x.ahlf", 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("x.ahlf"), std::string::npos);
    EXPECT_EQ(obj->numkeys, 0);
    std::remove(name);
}

TEST(AhlfObj, GetMatrixMultipliesTheTransposedKeyOntoTheCurrentMatrix)
{
    HLF_NEED_GL();
    AhlfKey k0 = flat(0, 0), k1 = flat(100, 0);
    for (AhlfKey* k : {&k0, &k1})
        for (int d = 0; d < 4; ++d)
            k->matrix[5 * d] = 1;
    k0.matrix[3] = 2;  // x translation 2 at frame 0
    k1.matrix[3] = 12; // 12 at frame 100
    const AhlfKey keys[2] = {k0, k1};
    auto obj = std::make_unique<CAHLFObj>();
    obj->SetKeys(keys, 2);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -1);
    bass.animStart = 80.0f;
    bass.seconds = 82.0f; // frame 50 at 25 fps
    EXPECT_EQ(obj->getMatrix(25), 1);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 7.0f);
    EXPECT_FLOAT_EQ(m[14], -1.0f);

    // Nothing to apply leaves the matrix alone.
    CAHLFObj none;
    glLoadIdentity();
    EXPECT_EQ(none.getMatrix(25), 3);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[0], 1.0f);
}
