// CRC-32 with the carry-less multiplication of x86-64 processors that have it: 64 bytes at a
// time are folded into four 128-bit lanes, then into one, then reduced to 32 bits (Barrett).
// Every blob is checked on every run, so this is where a run spends its time next to copying;
// zlib takes what is left over, and all of it on a processor without the instruction.
#include "payload/Container.h"
#include "payload/ZlibCrc32.h"

#include <immintrin.h>

namespace kw::payload {

namespace {

// Folding constants of the reflected polynomial 0xEDB88320: x^(4*128+32), x^(4*128-32) mod P;
// x^(128+32), x^(128-32) mod P; x^64 mod P; and P with its Barrett quotient.
alignas(16) const std::uint64_t kFold4[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) const std::uint64_t kFold1[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) const std::uint64_t kFold64[2] = {0x0163cd6124, 0};
alignas(16) const std::uint64_t kBarrett[2] = {0x01db710641, 0x01f7011641};

__m128i Load(const std::byte* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__attribute__((target("pclmul,sse4.1"))) __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// The CRC register (not inverted) after `size` bytes, a multiple of 16 and at least 64.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t Folded(const std::byte* p, std::size_t size,
                                                              std::uint32_t state) {
    __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
    p += 64, size -= 64;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold4));
    for (; size >= 64; p += 64, size -= 64) {
        x1 = Fold(x1, k, Load(p));
        x2 = Fold(x2, k, Load(p + 16));
        x3 = Fold(x3, k, Load(p + 32));
        x4 = Fold(x4, k, Load(p + 48));
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1));
    x1 = Fold(x1, k, x2);
    x1 = Fold(x1, k, x3);
    x1 = Fold(x1, k, x4);
    for (; size >= 16; p += 16, size -= 16)
        x1 = Fold(x1, k, Load(p));

    // 128 bits to 64, then 64 to 32.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00),
                       _mm_srli_si128(x1, 4));
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10), low32);
    x1 = _mm_xor_si128(x1, _mm_clmulepi64_si128(t, k, 0x00));
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HaveClmul() {
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}

} // namespace

std::uint32_t Crc32(std::span<const std::byte> bytes, std::uint32_t crc) {
    const std::size_t folded = bytes.size() & ~std::size_t{15};
    if (folded < 64 || !HaveClmul())
        return ZlibCrc32(bytes, crc);
    crc = ~Folded(bytes.data(), folded, ~crc);
    return ZlibCrc32(bytes.subspan(folded), crc);
}

} // namespace kw::payload
