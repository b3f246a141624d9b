#include "batch/batch_state.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(BatchState, StartsEmptyAndTheStartButtonLoadsTheConstants) {
    BatchState s;
    EXPECT_EQ(s.PointCount, 0);
    EXPECT_EQ(s.BatchComputation, std::nullopt);
    EXPECT_FALSE(s.Constants.Loaded);
    EXPECT_TRUE(s.CentralMeridian.IsUnset());
    EXPECT_TRUE(s.TargetMeridian.IsUnset());
    EXPECT_TRUE(s.Store.PointNames.empty());
    EXPECT_TRUE(s.Store.PlaneX.empty());
    EXPECT_EQ(s.StoredPointCount(), 0);

    Command1_Click(s);
    EXPECT_TRUE(s.Constants.Loaded);
    EXPECT_EQ(s.Constants.SemiMajorAxis, 6378245);
    EXPECT_EQ(s.Constants.DegPerRad, 57.29577951471995);
    const EllipsoidConstants first = s.Constants;
    Command1_Click(s);  // pressing again stores the same values
    EXPECT_EQ(s.Constants.DegPerRad, first.DegPerRad);
    EXPECT_EQ(s.Constants.ArcCoef2, first.ArcCoef2);
}

TEST(BatchState, AllocationReplacesTheWholeList) {
    std::vector<ValueCell> list = {ValueCell("a"), ValueCell(1.0), ValueCell(2.0)};
    Allocate(list, 4);
    ASSERT_EQ(list.size(), 4u);
    for (const ValueCell& c : list) EXPECT_TRUE(c.IsUnset());
    list = {ValueCell("a")};
    Allocate(list, 0);
    EXPECT_TRUE(list.empty());
    list = {ValueCell("a")};
    Allocate(list, -1);  // a negative count never reaches here, but allocates nothing
    EXPECT_TRUE(list.empty());
    Allocate(list, 4);
    ASSERT_EQ(list.size(), 4u);
    for (const ValueCell& c : list) EXPECT_TRUE(c.IsUnset());
}

TEST(BatchState, StoredCountComesFromTheCompletedBatchNotFromTheCountPrompt) {
    BatchState s;
    s.BatchComputation = Computation::Forward;
    Allocate(s.Store.PointNames, 3);
    s.PointCount = 3;
    EXPECT_EQ(s.StoredPointCount(), 0);  // not completed
    s.BatchComplete = true;
    EXPECT_EQ(s.StoredPointCount(), 3);
    s.PointCount = 7;  // a later count prompt that started no batch
    EXPECT_EQ(s.StoredPointCount(), 3);
}

}  // namespace
}  // namespace quorvel
