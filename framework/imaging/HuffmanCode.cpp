// Lengths: the optimal code by Moffat and Katajainen's in-place method over the counts sorted,
// then lengths beyond the limit cut to it and the code's Kraft sum brought back to exactly one
// (longest codes made longer while it is over, shortest ones shorter while it is under).
#include "HuffmanCode.h"

#include <algorithm>
#include <cstring>

namespace kaptor {

namespace {

// Depths of an optimal code for a[0, n) ascending (n >= 2), written over a: a[i] the depth of
// the i-th least frequent.
void OptimalDepths(std::uint32_t* a, int n) {
    // Internal nodes' weights, each later replaced by its parent's index.
    a[0] += a[1];
    int root = 0, leaf = 2;
    for (int next = 1; next < n - 1; ++next) {
        if (leaf >= n || a[root] < a[leaf]) {
            a[next] = a[root];
            a[root++] = static_cast<std::uint32_t>(next);
        } else {
            a[next] = a[leaf++];
        }
        if (leaf >= n || (root < next && a[root] < a[leaf])) {
            a[next] += a[root];
            a[root++] = static_cast<std::uint32_t>(next);
        } else {
            a[next] += a[leaf++];
        }
    }
    // Internal nodes' depths.
    a[n - 2] = 0;
    for (int next = n - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
    // Leaves' depths: at each depth, the free places not taken by internal nodes.
    int available = 1, used = 0, depth = 0, next = n - 1;
    root = n - 2;
    while (available > 0) {
        while (root >= 0 && a[root] == static_cast<std::uint32_t>(depth)) {
            ++used;
            --root;
        }
        while (available > used) {
            a[next--] = static_cast<std::uint32_t>(depth);
            --available;
        }
        available = 2 * used;
        ++depth;
        used = 0;
    }
}

}  // namespace

void HuffmanLengths(const std::uint32_t* counts, unsigned n, unsigned limit, std::uint8_t* lengths) {
    // Symbols by count, least first (ties by symbol, so the result does not depend on the sort).
    std::uint32_t order[288] = {}, depth[288] = {};
    unsigned used = 0;
    for (unsigned s = 0; s < n; ++s) {
        lengths[s] = 0;
        if (counts[s]) order[used++] = s;
    }
    for (unsigned s = 0; used < 2 && s < n; ++s)
        if (!counts[s] && (used == 0 || order[0] != s)) order[used++] = s;
    std::sort(order, order + used, [&](std::uint32_t x, std::uint32_t y) {
        return counts[x] != counts[y] ? counts[x] < counts[y] : x < y;
    });
    for (unsigned i = 0; i < used; ++i) depth[i] = std::max<std::uint32_t>(counts[order[i]], 1);
    OptimalDepths(depth, static_cast<int>(used));

    // How many codes of each length, cut at the limit; then the Kraft sum (in units of
    // 2^-limit) made exactly 2^limit.
    unsigned perLength[16] = {};
    for (unsigned i = 0; i < used; ++i) ++perLength[std::min<std::uint32_t>(depth[i], limit)];
    std::uint32_t kraft = 0;
    const std::uint32_t whole = 1u << limit;
    for (unsigned len = 1; len <= limit; ++len) kraft += perLength[len] << (limit - len);
    while (kraft > whole) {  // a code of the longest length below the limit one bit longer
        unsigned len = limit - 1;
        while (!perLength[len]) --len;
        --perLength[len];
        ++perLength[len + 1];
        kraft -= 1u << (limit - len - 1);
    }
    while (kraft < whole) {  // the longest code that fits in what is left one bit shorter
        unsigned len = limit;
        while (!perLength[len] || len == 1 || (1u << (limit - len)) > whole - kraft) --len;
        --perLength[len];
        ++perLength[len - 1];
        kraft += 1u << (limit - len);
    }
    // The shortest lengths to the most frequent symbols.
    unsigned i = used;
    for (unsigned len = 1; len <= limit; ++len)
        for (unsigned k = 0; k < perLength[len]; ++k) lengths[order[--i]] = static_cast<std::uint8_t>(len);
}

void HuffmanCodes(const std::uint8_t* lengths, unsigned n, std::uint16_t* codes) {
    unsigned perLength[16] = {}, next[16];
    for (unsigned s = 0; s < n; ++s) ++perLength[lengths[s]];
    perLength[0] = 0;
    unsigned code = 0;
    for (unsigned len = 1; len < 16; ++len) {
        code = (code + perLength[len - 1]) << 1;
        next[len] = code;
    }
    for (unsigned s = 0; s < n; ++s) {
        const unsigned len = lengths[s];
        if (!len) {
            codes[s] = 0;
            continue;
        }
        const unsigned c = next[len]++;
        unsigned reversed = 0;
        for (unsigned b = 0; b < len; ++b) reversed |= ((c >> b) & 1u) << (len - 1 - b);
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
}

}  // namespace kaptor
