#include "Choreography.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dance
{
namespace
{
// The arm moves, each a target for the wrist and a direction the elbow bends towards, in the
// torso's frame, for the arm on side s (+1 left, -1 right) at beat position b.
enum class Move
{
    Pump,  // fists punching up from the chest to over the head, one arm per beat
    Point, // the disco point: right arm up to the sky, down across the body; left hand on hip
    Roof,  // both palms pushing up over the head on every beat
    Spin   // arms thrown wide for the turn
};

struct ArmGoal
{
    Vec3 wrist, hint;
};

struct Segment
{
    double from, to; // beats within the loop
    Move move;
};

// Peaks of 1 on the beat, 0 half-way between beats: the body drops and the fists hit on the beat.
double onBeat(double b)
{
    const double c = 0.5 + 0.5 * std::cos(2.0 * kPi * b);
    return c * c;
}

// Eases from one beat's pose to the next: holds, then moves late so the new pose lands on the beat.
double hitEase(double frac) { return Smoothstep(0.3, 1.0, frac); }

Vec3 shoulderOf(double s) { return {Rig::kShoulder.x * s, Rig::kShoulder.y, Rig::kShoulder.z}; }

ArmGoal armGoal(Move m, double b, double s)
{
    const double reach = (Rig::kUpperArm + Rig::kLowerArm) * 0.96;
    switch (m)
    {
    case Move::Pump:
    {
        // Right fist on the even beats, left on the odd ones.
        const double p = s < 0 ? std::pow(0.5 + 0.5 * std::cos(kPi * b), 2.0)
                               : std::pow(0.5 + 0.5 * std::cos(kPi * (b - 1.0)), 2.0);
        const ArmGoal chest{{0.6 * s, 1.2, 1.1}, {0.9 * s, -0.6, -0.4}};
        const ArmGoal high{{1.35 * s, 4.35, 0.55}, {1.0 * s, -0.2, -0.6}};
        return {Lerp(chest.wrist, high.wrist, p), Lerp(chest.hint, high.hint, p)};
    }
    case Move::Point:
    {
        if (s > 0) // hand on the hip, elbow out
            return {{1.05, 0.3, 0.3}, {1.0, 0.2, -0.7}};
        const Vec3 up = shoulderOf(s) + Normalize({-0.6, 1.5, 0.35}) * reach;
        const Vec3 down = shoulderOf(s) + Normalize({0.6, -0.8, 0.7}) * reach;
        const double k = std::floor(b);
        const bool fromUp = static_cast<long>(k) % 2 == 0;
        const double w = hitEase(b - k);
        return {fromUp ? Lerp(up, down, w) : Lerp(down, up, w), {-0.3, -0.4, -1.0}};
    }
    case Move::Roof:
    {
        const double p = onBeat(b);
        return {{1.75 * s, 3.5 + 0.7 * p, 0.45}, {1.0 * s, -0.6, -0.3}};
    }
    case Move::Spin:
        return {shoulderOf(s) + Normalize({1.0 * s, 0.3, 0.15}) * reach, {0.0, -0.4, -1.0}};
    }
    return {{0.8 * s, 0.3, 0.3}, {0, 0, -1}};
}

// The moves of the loop: bars of pumping, a bar of pointing, then the roof and the turn to close
// it. A loop of only two bars drops the roof; one of a single bar pumps and turns.
std::vector<Segment> routine(int loopBeats)
{
    const double n = loopBeats;
    std::vector<Segment> r;
    if (n >= 12)
    {
        for (double a = 0; a < n - 8; a += 4)
            r.push_back({a, a + 4, Move::Pump});
        r.push_back({n - 8, n - 4, Move::Point});
        r.push_back({n - 4, n - 2, Move::Roof});
    }
    else if (n >= 8)
    {
        for (double a = 0; a < n - 4; a += 4)
            r.push_back({a, a + 4, Move::Pump});
        r.push_back({n - 4, n - 2, Move::Point});
    }
    else
        r.push_back({0, n - 2, Move::Pump});
    r.push_back({n - 2, n, Move::Spin});
    return r;
}

// The arm goal at b with a half-beat cross-fade into the next move, so every move starts on its beat.
ArmGoal blendedGoal(const std::vector<Segment>& r, double b, double s)
{
    std::size_t i = 0;
    while (i + 1 < r.size() && b >= r[i].to)
        ++i;
    const Segment& cur = r[i];
    const Segment& next = r[(i + 1) % r.size()];
    ArmGoal g = armGoal(cur.move, b, s);
    const double fade = 0.5;
    if (b > cur.to - fade)
    {
        const double w = Smoothstep(cur.to - fade, cur.to, b);
        const ArmGoal h = armGoal(next.move, b, s);
        g.wrist = Lerp(g.wrist, h.wrist, w);
        g.hint = Lerp(g.hint, h.hint, w);
    }
    return g;
}

// Two-bone reach from root towards goal, bending towards hint. Returns the middle joint; goal is
// pulled in when it lies beyond reach.
Vec3 solveTwoBone(Vec3 root, Vec3& goal, double l1, double l2, Vec3 hint)
{
    Vec3 d = goal - root;
    double dist = Length(d);
    const double maxReach = l1 + l2 - 1e-3, minReach = std::fabs(l1 - l2) + 1e-3;
    const Vec3 dir = dist > 1e-9 ? d * (1.0 / dist) : Vec3{0, -1, 0};
    dist = Clamp(dist, minReach, maxReach);
    goal = root + dir * dist;
    const double cosA = Clamp((l1 * l1 + dist * dist - l2 * l2) / (2.0 * l1 * dist), -1.0, 1.0);
    Vec3 perp = hint - dir * Dot(hint, dir);
    if (Length(perp) < 1e-6)
        perp = Cross(dir, Vec3{1, 0, 0});
    perp = Normalize(perp);
    return root + (dir * cosA + perp * std::sqrt(1.0 - cosA * cosA)) * l1;
}

// A bone's frame: joint at `from`, the bone hanging along local -y towards `to`, local +z as
// close to `front` as the bone allows.
Mat4 boneFrame(Vec3 from, Vec3 to, Vec3 front)
{
    const Vec3 y = Normalize(from - to);
    Vec3 z = front - y * Dot(front, y);
    if (Length(z) < 1e-6)
        z = Cross(Vec3{1, 0, 0}, y);
    z = Normalize(z);
    return Mat4::Basis(Cross(y, z), y, z, from);
}
} // namespace

LoopPlan PlanLoop(double bpm, double beatZeroSeconds, int beatsPerBar, double sceneStartSeconds, int fps,
                  int maxKeys)
{
    LoopPlan plan;
    plan.framesPerBeat = fps * 60.0 / bpm;
    plan.startBeat = (sceneStartSeconds - beatZeroSeconds) * bpm / 60.0;
    // Keys: one per subdivision across the loop, plus the closing key, plus one at frame 0 when the
    // scene does not start on a subdivision.
    const double maxFrames = maxKeys - 1;
    const int bars = static_cast<int>(std::floor(maxFrames / (plan.framesPerBeat * beatsPerBar)));
    plan.beatsPerBar = beatsPerBar;
    plan.maxKeys = maxKeys;
    plan.beats = std::max(bars, 1) * beatsPerBar;
    plan.subdivisions = (maxKeys - 2) / plan.beats;
    plan.subdivisions -= plan.subdivisions % 2; // half-beats must be keys too
    if (plan.subdivisions < 2)
    {
        std::fprintf(stderr, "dance generator: %d keys cannot hold a bar at %.1f BPM\n", maxKeys, bpm);
        std::exit(1);
    }
    return plan;
}

std::array<Mat4, kPartCount> PoseAt(double beat, int loopBeats, const Stage& stage)
{
    const double b = beat - loopBeats * std::floor(beat / loopBeats);
    const std::vector<Segment> r = routine(loopBeats);

    // The turn: a full spin over the last two beats of the loop, on two small hops.
    double spin = 0.0, hop = 0.0;
    for (const Segment& seg : r)
        if (seg.move == Move::Spin && b >= seg.from && b < seg.to)
        {
            const double t = (b - seg.from) / (seg.to - seg.from);
            spin = 2.0 * kPi * t * t * t * (t * (6.0 * t - 15.0) + 10.0);
            hop = 0.35 * std::fabs(std::sin(kPi * (b - seg.from)));
        }
    const Mat4 root =
        Mat4::Translate(stage.position + Vec3{0.0, 0.02 + hop, 0.0}) * Mat4::RotY(stage.facingYaw + spin);

    // Weight shifts to the right foot on even beats (the left one steps), to the left on odd beats.
    const double sway = std::sin(kPi * b);
    const double dip = 0.42 * onBeat(b) * (hop > 0 ? 0.5 : 1.0);
    const Mat4 pelvisLocal = Mat4::Translate({-0.32 * sway, Rig::kPelvisHeight - dip, 0.05 * onBeat(b)}) *
                             Mat4::RotY(Radians(12.0) * sway) * Mat4::RotZ(Radians(-9.0) * sway) *
                             Mat4::RotX(Radians(4.0) * onBeat(b));
    const Mat4 torsoLocal = pelvisLocal * Mat4::Translate(Rig::kSpine) * Mat4::RotZ(Radians(6.0) * sway) *
                            Mat4::RotY(Radians(-18.0) * sway) * Mat4::RotX(Radians(7.0) * onBeat(b));
    // The head nods down on the beat, a moment behind the body, and rocks side to side.
    const Mat4 headLocal =
        torsoLocal * Mat4::Translate(Rig::kNeck) * Mat4::RotX(Radians(16.0) * onBeat(b - 0.06)) *
        Mat4::RotZ(Radians(-7.0) * std::sin(kPi * (b - 0.15))) * Mat4::RotY(Radians(8.0) * sway);

    std::array<Mat4, kPartCount> out;
    out[Pelvis] = root * pelvisLocal;
    out[Torso] = root * torsoLocal;
    out[Head] = root * headLocal;

    // Legs: the feet stand wide and step in place, each landing on its beat.
    for (int side = 0; side < 2; ++side)
    {
        const double s = side == 0 ? 1.0 : -1.0;
        const Part thigh = side == 0 ? ThighL : ThighR, shin = side == 0 ? ShinL : ShinR,
                   foot = side == 0 ? FootL : FootR;
        const double k = std::floor(b);
        const bool stepping = (static_cast<long>(k) % 2 == 0) == (s > 0);
        const double f = b - k;
        const double lift = stepping ? std::pow(std::sin(kPi * f), 2.0) : 0.0;
        Vec3 ankle{0.82 * s, Rig::kAnkleHeight + 0.55 * lift, 0.05 + 0.35 * lift};
        const Vec3 hip = pelvisLocal.Point({Rig::kHip.x * s, Rig::kHip.y, Rig::kHip.z});
        const Vec3 kneeFront = Normalize({0.3 * s, 0.0, 1.0});
        const Vec3 knee = solveTwoBone(hip, ankle, Rig::kThigh, Rig::kShin, kneeFront);
        out[thigh] = root * boneFrame(hip, knee, kneeFront);
        out[shin] = root * boneFrame(knee, ankle, kneeFront);
        out[foot] =
            root * Mat4::Translate(ankle) * Mat4::RotY(Radians(14.0) * s) * Mat4::RotX(Radians(25.0) * lift);
    }

    // Arms: wrist goals in the torso's frame, reached from the shoulder.
    for (int side = 0; side < 2; ++side)
    {
        const double s = side == 0 ? 1.0 : -1.0;
        const Part upper = side == 0 ? UpperArmL : UpperArmR, lower = side == 0 ? LowerArmL : LowerArmR,
                   hand = side == 0 ? HandL : HandR;
        const ArmGoal g = blendedGoal(r, b, s);
        const Vec3 shoulder = torsoLocal.Point(shoulderOf(s));
        Vec3 wrist = torsoLocal.Point(g.wrist);
        const Vec3 hint = torsoLocal.Dir(Normalize(g.hint));
        const Vec3 elbow = solveTwoBone(shoulder, wrist, Rig::kUpperArm, Rig::kLowerArm, hint);
        // The inside of the arm (away from the elbow's point) is its front.
        const Vec3 inside = hint * -1.0;
        out[upper] = root * boneFrame(shoulder, elbow, inside);
        out[lower] = root * boneFrame(elbow, wrist, inside);
        out[hand] = root * boneFrame(wrist, wrist + Normalize(wrist - elbow), inside);
    }
    return out;
}

std::array<std::vector<hlf::AhlfKey>, kPartCount> BuildTracks(const LoopPlan& plan, const Stage& stage)
{
    // Key beats: frame 0, every subdivision strictly inside the loop, and the loop's end.
    const double step = 1.0 / plan.subdivisions;
    std::vector<double> beats = {plan.startBeat};
    const double eps = 1e-6;
    const long first = static_cast<long>(std::ceil(plan.startBeat / step - eps));
    for (long k = first;; ++k)
    {
        const double g = k * step;
        if (g >= plan.startBeat + plan.beats - eps)
            break;
        if (g > plan.startBeat + eps)
            beats.push_back(g);
    }
    beats.push_back(plan.startBeat + plan.beats);
    if (beats.size() > static_cast<std::size_t>(plan.maxKeys))
    {
        std::fprintf(stderr, "dance generator: %zu keys would exceed a track's %d\n", beats.size(),
                     plan.maxKeys);
        std::exit(1);
    }

    // The routine counts from the bar the scene starts in, so it opens with its first move.
    const double routineStart = std::floor(plan.startBeat / plan.beatsPerBar + 1e-9) * plan.beatsPerBar;
    std::array<std::vector<hlf::AhlfKey>, kPartCount> tracks;
    for (std::size_t i = 0; i < beats.size(); ++i)
    {
        const bool last = i + 1 == beats.size();
        const std::array<Mat4, kPartCount> pose = PoseAt(beats[i] - routineStart, plan.beats, stage);
        const float time =
            static_cast<float>(last ? plan.loopFrames() : (beats[i] - plan.startBeat) * plan.framesPerBeat);
        for (int p = 0; p < kPartCount; ++p)
        {
            hlf::AhlfKey key;
            key.time = time;
            if (last)
                std::copy(std::begin(tracks[static_cast<std::size_t>(p)].front().matrix),
                          std::end(tracks[static_cast<std::size_t>(p)].front().matrix), key.matrix);
            else
                for (int e = 0; e < 16; ++e)
                    key.matrix[e] = static_cast<float>(pose[static_cast<std::size_t>(p)].m[e]);
            tracks[static_cast<std::size_t>(p)].push_back(key);
        }
    }
    return tracks;
}
} // namespace dance
