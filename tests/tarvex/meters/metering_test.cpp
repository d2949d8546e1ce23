// Master RMS meter and block sizing.
#include "meters/metering.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/mix_loop.h"

using namespace tarvex;

TEST(measureMasterRms, IntervalsRunBetweenZeroCrossingsAcrossBlocks) {
    // A square wave of +-1000 output steps with a period of 20 samples: with a
    // minimum interval of 15 samples each interval closes at the second
    // crossing after it opened, so every RMS value is exactly 1000.
    std::vector<int32_t> wave(200);
    for (std::size_t i = 0; i < wave.size(); ++i)
        wave[i] = ((i / 10) % 2 == 0 ? 1000 : -1000) * 256;
    RmsMeter meter;
    measureMasterRms(meter, std::span(wave).first(97), std::span(wave).first(97), 15.0f, 256, 97);
    measureMasterRms(meter, std::span(wave).subspan(97), std::span(wave).subspan(97), 15.0f, 256,
                     103);
    EXPECT_EQ(meter.countL, 9.0f);
    EXPECT_FLOAT_EQ(meter.sumL / meter.countL, 1000.0f);
    EXPECT_EQ(meter.countR, meter.countL);
}

TEST(measureMasterRms, OpenIntervalIsNotCounted) {
    std::vector<int32_t> dc(1000, 5000 * 256);
    RmsMeter meter;
    measureMasterRms(meter, dc, dc, 10.0f, 256, 1000);
    EXPECT_EQ(meter.countL, 0.0f);
    // The division by 256 is toward zero: -255 contributes nothing.
    std::vector<int32_t> tiny{-255, 255, -255, 255};
    RmsMeter other;
    measureMasterRms(other, tiny, tiny, 0.0f, 256, 4);
    EXPECT_EQ(other.countL, 4.0f);
    EXPECT_EQ(other.sumL, 0.0f);
}

TEST(BlockSize, FullBlocksAndTheRest) {
    EXPECT_EQ(blockSizeAt(0, 131072).length, 131072);
    EXPECT_EQ(blockSizeAt(0, 131072).savePosition, 130816);
    EXPECT_EQ(blockSizeAt(0, 131073).length, 131072);
    EXPECT_EQ(blockSizeAt(131072, 131073).length, 1);
    EXPECT_EQ(blockSizeAt(131072, 131073).savePosition, 1);
    EXPECT_EQ(blockSizeAt(1000, 1300).savePosition, 44);
    EXPECT_EQ(magnitudeOf(-2147483647 - 1), 2147483648u);
}
