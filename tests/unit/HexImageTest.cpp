#include "HexImage.h"

#include <gtest/gtest.h>

#include <vector>

using qb480::CHexImage;
using qb480::HexFault;

namespace {

// Capacities seen after each growth while storing the given records.
std::vector<std::size_t> Growths(CHexImage& image, const std::vector<std::pair<std::uint32_t, std::size_t>>& records)
{
    std::vector<std::size_t> capacities;
    const std::vector<std::uint8_t> data(256, 0x5A);
    for (const auto& [address, count] : records) {
        const std::size_t before = image.Capacity();
        EXPECT_EQ(image.Store(address, data.data(), count), HexFault::None) << std::hex << address;
        if (image.Capacity() != before)
            capacities.push_back(image.Capacity());
    }
    return capacities;
}

}  // namespace

TEST(HexImageSteps, GrowsIn4096ByteStepsOnlyWhenARecordEndsPastTheBuffer)
{
    CHexImage image(CHexImage::Growth::Steps);
    ASSERT_TRUE(image.Allocated());
    EXPECT_EQ(image.Capacity(), 16384u);
    std::vector<std::pair<std::uint32_t, std::size_t>> records;
    for (std::uint32_t address = 0; address < 0x8000; address += 32)
        records.push_back({address, 32});
    EXPECT_EQ(Growths(image, records), (std::vector<std::size_t>{0x5000, 0x6000, 0x7000, 0x8000}));
    EXPECT_EQ(image.Size(), 0x8000u);
}

TEST(HexImageSteps, RecordStraddlingTheEndAddsOneStep)
{
    CHexImage image(CHexImage::Growth::Steps);
    EXPECT_EQ(Growths(image, {{0x3FF8, 16}}), (std::vector<std::size_t>{0x5000}));
    EXPECT_EQ(image.Size(), 0x4008u);
}

TEST(HexImageSteps, FarRecordGrowsUntilItFits)
{
    CHexImage image(CHexImage::Growth::Steps);
    EXPECT_EQ(Growths(image, {{0x12345, 255}}), (std::vector<std::size_t>{0x13000}));
    EXPECT_EQ(image.Size(), 0x12345u + 255);
}

TEST(HexImageGeometric, AtLeastDoublesSoLargeImagesAreCopiedRarely)
{
    CHexImage image(CHexImage::Growth::Geometric);
    std::vector<std::pair<std::uint32_t, std::size_t>> records;
    for (std::uint32_t address = 0; address < 0x40000; address += 32)
        records.push_back({address, 32});
    EXPECT_EQ(Growths(image, records), (std::vector<std::size_t>{0x8000, 0x10000, 0x20000, 0x40000}));
    CHexImage far(CHexImage::Growth::Geometric);
    EXPECT_EQ(Growths(far, {{0x100000, 16}}), (std::vector<std::size_t>{0x101000}));
}

TEST(HexImageGeometric, StopsAtTheLimit)
{
    CHexImage image(CHexImage::Growth::Geometric);
    EXPECT_EQ(Growths(image, {{0x02000000, 16}, {CHexImage::kMaxSize - 16, 16}}),
              (std::vector<std::size_t>{0x02001000, CHexImage::kMaxSize}));
    EXPECT_EQ(image.Size(), CHexImage::kMaxSize);
}

TEST(HexImage, BytesNoRecordWroteAreZero)
{
    for (CHexImage::Growth growth : {CHexImage::Growth::Steps, CHexImage::Growth::Geometric}) {
        CHexImage image(growth);
        const std::uint8_t low[] = {1, 2};
        const std::uint8_t high[] = {3};
        ASSERT_EQ(image.Store(0x10, low, 2), HexFault::None);
        ASSERT_EQ(image.Store(0x30000, high, 1), HexFault::None);
        ASSERT_EQ(image.Size(), 0x30001u);
        for (std::size_t i = 0; i < image.Size(); ++i) {
            const std::uint8_t expected = i == 0x10 ? 1 : i == 0x11 ? 2 : i == 0x30000 ? 3 : 0;
            ASSERT_EQ(image.Data()[i], expected) << "byte " << std::hex << i;
        }
    }
}

TEST(HexImage, RefusesRecordsPastTheLimitWithoutChange)
{
    CHexImage image;
    const std::uint8_t byte[] = {7};
    ASSERT_EQ(image.Store(0, byte, 1), HexFault::None);
    EXPECT_EQ(image.Store(CHexImage::kMaxSize, byte, 1), HexFault::ImageTooLarge);
    EXPECT_EQ(image.Store(0xFFFFFFFF, byte, 1), HexFault::ImageTooLarge);
    EXPECT_EQ(image.Size(), 1u);
    EXPECT_EQ(image.Capacity(), CHexImage::kInitialCapacity);
    // The last byte below the limit is still accepted.
    EXPECT_EQ(image.Store(CHexImage::kMaxSize - 1, byte, 1), HexFault::None);
    EXPECT_EQ(image.Size(), CHexImage::kMaxSize);
}
