// The check rules on their own: latency verdict, traffic drop and rates, HTTP verdict, the
// "contains" test and the shape of the padded UPDATE assignments.
#include "core/CheckRules.h"

#include <QStringList>

#include <gtest/gtest.h>

TEST(CheckRules, LatencyNeedsEverySampleStrictlyOver) {
    TLatencyVerdict v = JudgeLatency({150, 120, 101}, 100);
    EXPECT_TRUE(v.AllOver);
    EXPECT_EQ(v.Samples, 3);
    EXPECT_EQ(v.Average, 123);                                // whole-number division
    EXPECT_FALSE(JudgeLatency({150, 100, 300}, 100).AllOver); // equal is not over
    TLatencyVerdict none = JudgeLatency({}, 100);
    EXPECT_TRUE(none.AllOver); // no samples counts as over
    EXPECT_EQ(none.Samples, 0);
    EXPECT_EQ(none.Average, 0);
}

TEST(CheckRules, TrafficDropThresholds) {
    EXPECT_FALSE(TrafficDropAlarm(20000, 0, 70));    // previous must exceed 20000
    EXPECT_FALSE(TrafficDropAlarm(30000, 9000, 70)); // exactly 70 % is not more than 70
    EXPECT_TRUE(TrafficDropAlarm(30000, 8999, 70));
    EXPECT_FALSE(TrafficDropAlarm(0, 0, 70));
    EXPECT_FALSE(TrafficDropAlarm(50000, 60000, 10)); // a rise is no drop
}

TEST(CheckRules, TrafficRateKeepsPreviousOnWrapStallAndSpeedCap) {
    EXPECT_EQ(TrafficRate(6000, 1000, 10, 100, 77), 500);
    EXPECT_EQ(TrafficRate(6000, 1000, 0, 100, 77), 5000); // 0 seconds count as 1
    EXPECT_EQ(TrafficRate(1000, 6000, 10, 100, 77), 77);  // wrap
    EXPECT_EQ(TrafficRate(0, 6000, 10, 100, 77), 77);     // failed read
    EXPECT_EQ(TrafficRate(6000, 0, 10, 100, 77), 77);
    // 1 Mbit/s cap: 125000 bytes/s and more keeps the previous rate.
    EXPECT_EQ(TrafficRate(125001, 1, 1, 1, 77), 77);
    EXPECT_EQ(TrafficRate(124999, 1, 1, 1, 77), 124998);
    EXPECT_EQ(TrafficRate(4000000001LL, 1, 1, 0, 77), 4000000000LL); // speed 0: no cap
    EXPECT_EQ(TrafficRate(6000, 1000, -30, 100, 77), 77);            // clock set back
    EXPECT_EQ(TrafficRate(1000, 6000, 10, 100, -77), 77);            // never negative
}

TEST(CheckRules, HttpDownOnlyForExactTexts) {
    EXPECT_TRUE(IsHttpDown("0 "));
    EXPECT_TRUE(IsHttpDown("500 "));
    EXPECT_FALSE(IsHttpDown("500 Internal Server Error"));
    EXPECT_FALSE(IsHttpDown("404 Not Found"));
    EXPECT_FALSE(IsHttpDown("0"));
}

TEST(CheckRules, ContainsWithEmptyWordIsFalse) {
    EXPECT_FALSE(ContainsText("ICMP check failed! Timeout", ""));
    EXPECT_TRUE(ContainsText("ICMP check failed! Timeout", "failed!"));
    EXPECT_FALSE(ContainsText("", "failed!"));
}

TEST(CheckRules, PaddedAssignmentsAndQualification) {
    EXPECT_EQ(PaddedAssignments(QStringList{"Status", "Kol_vo_p"}, 10), "Status=   ?, Kol_vo_p= ?");
    // Name, "=" and blanks fill 26 characters before the value.
    EXPECT_EQ(PaddedAssignments(QStringList{"P_lost_kol_vo_p"}, 26),
              "P_lost_kol_vo_p=" + QString(10, ' ') + "?");
    EXPECT_TRUE(EventQualifies(EventColourLime, false, true));
    EXPECT_FALSE(EventQualifies(EventColourLime, true, false));
    EXPECT_TRUE(EventQualifies(EventColourRed, true, false));
    EXPECT_TRUE(EventQualifies(EventColourYellow, true, false));
    EXPECT_FALSE(EventQualifies(EventColourYellow, false, true));
}
