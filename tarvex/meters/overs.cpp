// Full-scale stretches and the output's peak envelope.
#include "meters/overs.h"
#include "core/vector_clones.h"

#include <algorithm>
#include <limits>

namespace tarvex {

void OversLog::reserve(std::size_t count) {
    stretches.clear();
    stretches.reserve(count);
    capacity = count;
    dropped = 0;
}

void OversLog::add(const FullScaleStretch& s) {
    if (stretches.size() < capacity)
        stretches.push_back(s); // within the reserved room: no allocation
    else
        ++dropped;
}

TARVEX_VECTOR_CLONES
void FullScaleRuns::scan(std::span<const int32_t> a, std::span<const int32_t> b, int64_t pos,
                         int32_t n, OversLog& log) {
    // Most blocks have no sample at full scale: one pass over the extremes
    // tells, and then only a run left open by the block before can close.
    int32_t most = std::numeric_limits<int32_t>::min();
    int32_t least = std::numeric_limits<int32_t>::max();
    for (int32_t i = 0; i < n; ++i) {
        most = std::max(most, std::max(a[i], b[i]));
        least = std::min(least, std::min(a[i], b[i]));
    }
    if (n > 0 && most < high && least > low) {
        if (openStart >= 0) log.add({source, openStart, openLength, false});
        openStart = -1;
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        const bool full = a[i] >= high || a[i] <= low || b[i] >= high || b[i] <= low;
        if (full) {
            if (openStart < 0) {
                openStart = pos + i;
                openLength = 0;
            }
            ++openLength;
        } else if (openStart >= 0) {
            log.add({source, openStart, openLength, false});
            openStart = -1;
        }
    }
}

void FullScaleRuns::finish(OversLog& log) {
    if (openStart >= 0) log.add({source, openStart, openLength, false});
    openStart = -1;
}

void PeakEnvelope::reset(int64_t renderStart, int64_t renderLength, int32_t sideCount) {
    start = renderStart;
    length = renderLength;
    sides = sideCount;
    const auto cells = static_cast<std::size_t>(kColumns) * static_cast<std::size_t>(sideCount);
    high.assign(cells, std::numeric_limits<int32_t>::min());
    low.assign(cells, std::numeric_limits<int32_t>::max());
    over.assign(cells, 0);
}

int32_t PeakEnvelope::columnOf(int64_t position) const {
    if (length <= 0) return 0;
    const int64_t c = (position - start) * kColumns / length;
    return static_cast<int32_t>(std::clamp<int64_t>(c, 0, kColumns - 1));
}

TARVEX_VECTOR_CLONES
void PeakEnvelope::add(int32_t side, std::span<const int32_t> x, int64_t pos, int32_t n,
                       int32_t fullHigh, int32_t fullLow) {
    if (length <= 0 || n <= 0) return;
    const std::size_t base = static_cast<std::size_t>(side) * kColumns;
    int32_t i = 0;
    while (i < n) {
        const int32_t column = columnOf(pos + i);
        // First song sample of the next column: the least p with
        // (p - start) × kColumns / length > column.
        const int64_t nextStart = start + ((column + 1) * length + kColumns - 1) / kColumns;
        const int32_t stop = static_cast<int32_t>(std::clamp<int64_t>(nextStart - pos, i + 1, n));
        int32_t hi = high[base + column], lo = low[base + column];
        for (; i < stop; ++i) {
            hi = std::max(hi, x[i]);
            lo = std::min(lo, x[i]);
        }
        high[base + column] = hi;
        low[base + column] = lo;
        // The column's extremes so far: an earlier full-scale sample in it
        // has marked it already.
        if (hi >= fullHigh || lo <= fullLow) over[base + column] = 1;
    }
}

} // namespace tarvex
