// The base stream of every random-number class: the Park-Miller minimal standard generator
// (multiplier 16807, modulus 2^31 - 1) with Schrage's decomposition, behind a shuffle table
// of 128 entries. One stream per process; every object of every class advances it.
#pragma once

#include <array>
#include <cstdint>

namespace brisolt {

class Random {
  public:
    Random() = default;
    Random(const Random&) = delete;
    Random& operator=(const Random&) = delete;

    // Virtual operations in the order of the original class table.
    virtual double draw() { return base_draw(); }
    virtual const char* name() const { return "Random"; }
    virtual double density(double x) const;
    virtual ~Random() = default;
    virtual double mean() const { return 0.5; }
    virtual double variance() const { return 1.0 / 12.0; }

    // 0 < s < 1. Throws Logic_error "RNG: seed out of range".
    static void set_seed(double s);
    // One base step (Schrage): the new state times 4.656612875e-10, in (0, 1).
    static double advance_state();
    // One draw through the shuffle table (two base steps), in (0, 1). Throws Logic_error
    // before the stream is seeded.
    static double base_draw();
    // The Lehmer state; 0 until seeded.
    static int32_t state();
    // The state the last set_seed started the stream from (t after seed_from_time(t)); 0
    // until seeded. With the same seed a run draws the same numbers again.
    static int32_t seed_state();
    // The draws (base_draw calls) since the last set_seed. Every variate of every class draws
    // through base_draw, so the seed and this count are the whole state of the stream.
    static uint64_t draws();
    // Draws `count` numbers and throws them away: after set_seed, the stream where it was
    // `count` draws later.
    static void skip_draws(uint64_t count);
};

class Uniform : public Random {
  public:
    const char* name() const override { return "Uniform"; }
    double density(double x) const override { return x >= 0.0 && x <= 1.0 ? 1.0 : 0.0; }
};

// The double nearest to 1 / 2147483647: seeding with t times it gives state t.
inline constexpr double kSeedFactor = 4.656612875245797e-10;

// Seeds the stream from a calendar time in seconds, as the generator does at start.
void seed_from_time(int64_t seconds);

}  // namespace brisolt
