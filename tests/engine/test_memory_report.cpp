#include <gtest/gtest.h>

#include "test-support.h"

class MemoryReport : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override {
        ResetTestProg();
        ASSERT_TRUE(StartEngine());
    }
    void TearDown() override { StopEngine(); }
};

TEST_F(MemoryReport, EstimatesCountBitmapPixelsIntoTheKeyStates) {
    kd->CallExtension("RefreshMemUsageEstimates", "");
    int before = kd->GetKeyStatei(2001);
    kd_bitmap_t* bm = kd->CreateBitmap("report-test", 16, 8, 0);
    ASSERT_NE(bm, nullptr);
    kd->CallExtension("RefreshMemUsageEstimates", "");
    EXPECT_EQ(kd->GetKeyStatei(2001) - before, 16 * 8 * 4);
    EXPECT_EQ(kd->GetKeyStatei(2005), kd->GetKeyStatei(2001) + kd->GetKeyStatei(2002) + kd->GetKeyStatei(2004));
    kd->ReleaseBitmap(bm);
}

TEST_F(MemoryReport, ListingNamesEachBitmapAndTheTotals) {
    kd_bitmap_t* bm = kd->CreateBitmap("report-listed", 32, 4, 0);
    ASSERT_NE(bm, nullptr);
    LogCapture log;
    kd->CallExtension("ListResourceUsage", nullptr);
    EXPECT_TRUE(log.Contains("Listing Resource Usage."));
    EXPECT_TRUE(log.Contains("32x4 'report-listed' refc="));
    EXPECT_TRUE(log.Contains("sysmem=0.5KB"));
    EXPECT_TRUE(log.Contains("Total "));
    EXPECT_TRUE(log.Contains("allocated for all resources."));
    EXPECT_TRUE(log.Contains("Memory Hogs"));
    kd->ReleaseBitmap(bm);
}
