// A short load and fault run of the reference vendor server on loopback
// (make bench runs the long one and prints its figures, memory among them;
// the flood tests bound memory per attack): honest clients and hostile ones
// together, then SIGKILL and a restart on the same database.
#include "LoadRun.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(VendorLoadTest, EveryAcknowledgedRequestIsStoredOnceThroughAttacksAndAKill) {
    QTemporaryDir work;
    LoadPlan plan;
    plan.ServerProgram = QStringLiteral(KORVANE_VENDOR_SERVER_PATH);
    plan.WorkFolder = work.path();
    plan.ServerArguments = {QStringLiteral("--deadline-ms"), QStringLiteral("1000")};
    plan.SteadySeconds = 2;
    plan.AfterKillSeconds = 1.5;
    plan.HonestClients = 4;
    plan.FeedbackEvery = 3;
    plan.OfferBytes = 16u << 20;
    plan.Hostile = {{HostileKind::Slow, 1},       {HostileKind::Chunked, 1},
                    {HostileKind::Compressed, 1}, {HostileKind::Oversized, 1},
                    {HostileKind::Garbage, 1},    {HostileKind::HeaderFlood, 1}};

    const LoadReport report = RunLoad(plan);
    ASSERT_TRUE(report.Started);
    SCOPED_TRACE(FormatReport(plan, report).toStdString());
    EXPECT_TRUE(report.Killed);
    EXPECT_TRUE(report.Restarted);
    EXPECT_TRUE(report.StoppedCleanly);
    EXPECT_GT(report.Acknowledged, 0);
    EXPECT_GT(report.AcknowledgedAfterRestart, 0) << "served again after the restart";
    EXPECT_EQ(report.StoredOnce, report.AcknowledgedTotal);
    EXPECT_EQ(report.Lost, 0);
    EXPECT_EQ(report.Doubled, 0);
    EXPECT_EQ(report.Altered, 0);
    EXPECT_EQ(report.Strays, 0) << "nothing of the hostile clients was stored";

    // Each attack met its refusal; none was ever answered as accepted.
    const std::map<HostileKind, std::string> refusal{{HostileKind::Chunked, "411"},
                                                     {HostileKind::Compressed, "415"},
                                                     {HostileKind::Oversized, "413"},
                                                     {HostileKind::Garbage, "400"},
                                                     {HostileKind::HeaderFlood, "400"}};
    for (const auto& [kind, status] : refusal) {
        const HostileTally& tally = report.Hostile.at(kind);
        EXPECT_GT(tally.Results.count(status) ? tally.Results.at(status) : 0, 0)
            << HostileName(kind);
    }
    for (const auto& [kind, tally] : report.Hostile) {
        EXPECT_EQ(tally.Results.count("200"), 0u) << HostileName(kind);
    }
}
