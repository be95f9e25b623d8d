#include "random.h"

#include <cmath>

#include "exception.h"

namespace brisolt {
namespace {

constexpr int32_t kModulus = 2147483647;
constexpr int32_t kMultiplier = 16807;
constexpr int32_t kSchrageQuotient = 127773;  // kModulus div kMultiplier
constexpr int32_t kSchrageRemainder = 2836;   // kModulus mod kMultiplier
// Ten digits, as the original stream scales its state; not 1 / kModulus.
constexpr double kStateScale = 4.656612875e-10;
constexpr int kShuffleSize = 128;

// Whole-numbered, kept as a double like the original; 0 means not seeded.
double base_state = 0.0;
int32_t seeded_state = 0;
std::array<double, kShuffleSize> shuffle_table{};
uint64_t draw_count = 0;

}  // namespace

double Random::density(double) const {
    throw Logic_error("density function not defined");
}

double Random::advance_state() {
    const int32_t s = static_cast<int32_t>(base_state);
    const int32_t hi = s / kSchrageQuotient;
    const int32_t lo = s - kSchrageQuotient * hi;
    int32_t next = kMultiplier * lo - kSchrageRemainder * hi;
    if (next <= 0) {
        next += kModulus;
    }
    base_state = next;
    return next * kStateScale;
}

void Random::set_seed(double s) {
    if (!(s < 1.0) || s <= 0.0) {
        throw Logic_error("RNG: seed out of range");
    }
    // Seeds below 2^-31 would give state 0 and seeds within 2^-31 of 1 the modulus itself;
    // from either the stream is constant, so they take the nearest usable state.
    const double state = std::trunc(s * 2147483648.0);
    base_state = std::fmin(std::fmax(state, 1.0), kModulus - 1.0);
    seeded_state = static_cast<int32_t>(base_state);
    draw_count = 0;
    for (double& entry : shuffle_table) {
        entry = advance_state();
    }
}

double Random::base_draw() {
    if (base_state == 0.0) {
        throw Logic_error("Random number generator not initialised");
    }
    const double r = advance_state();
    const int i = static_cast<int>(r * kShuffleSize);
    const double result = shuffle_table[i];
    shuffle_table[i] = advance_state();
    ++draw_count;
    return result;
}

uint64_t Random::draws() {
    return draw_count;
}

void Random::skip_draws(uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        base_draw();
    }
}

int32_t Random::state() {
    return static_cast<int32_t>(base_state);
}

int32_t Random::seed_state() {
    return seeded_state;
}

void seed_from_time(int64_t seconds) {
    Random::set_seed(static_cast<double>(seconds) * kSeedFactor);
}

}  // namespace brisolt
