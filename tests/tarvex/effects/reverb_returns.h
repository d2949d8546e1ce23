// The return buffers of a reverb as the mix loop owns and rotates them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/slot_layout.h"

struct Returns {
    std::vector<int32_t> nextL = std::vector<int32_t>(tarvex::kMaxBlockFrames), nextR = nextL,
                         curL = nextL, curR = nextL;
    void rotate() {
        curL.swap(nextL);
        curR.swap(nextR);
        std::fill(nextL.begin(), nextL.end(), 0);
        std::fill(nextR.begin(), nextR.end(), 0);
    }
};
