// The memories of the strip effects and reverbs, kept from block to block.
#pragma once

namespace tarvex {

struct EffectMemory {};

} // namespace tarvex
