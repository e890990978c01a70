#pragma once
// Small, fast, seedable generators for the simulated market. Stable across platforms and
// standard libraries (std::normal_distribution is not), so a seed means the same market.

#include <cmath>
#include <cstdint>
#include <string>

namespace ttmarket {

inline uint64_t splitMix64(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// FNV-1a: std::hash is not guaranteed stable, and seeds must be.
inline uint64_t stableHash(const std::string& text, uint64_t seed = 0)
{
    uint64_t h = 0xCBF29CE484222325ULL ^ seed;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001B3ULL;
    }
    return h;
}

class Rng {
public:
    Rng() : Rng(1) {}
    explicit Rng(uint64_t seed)
    {
        uint64_t s = seed;
        for (uint64_t& v : m_s)
            v = splitMix64(s);
    }
    // xoshiro256**
    uint64_t next()
    {
        const uint64_t result = rotl(m_s[1] * 5, 7) * 9;
        const uint64_t t = m_s[1] << 17;
        m_s[2] ^= m_s[0];
        m_s[3] ^= m_s[1];
        m_s[1] ^= m_s[2];
        m_s[0] ^= m_s[3];
        m_s[2] ^= t;
        m_s[3] = rotl(m_s[3], 45);
        return result;
    }
    // [0, 1)
    double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
    // [lo, hi]
    int64_t range(int64_t lo, int64_t hi)
    {
        if (hi <= lo)
            return lo;
        return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    // Standard normal by Box-Muller, one value per call (the pair's twin is dropped so
    // the stream depends only on the number of calls).
    double normal()
    {
        double u1 = uniform();
        if (u1 < 1e-300)
            u1 = 1e-300;
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t m_s[4];
};

} // namespace ttmarket
