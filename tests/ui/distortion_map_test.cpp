// 从文件计算's projection height and distortion column: the job its 更多选项 make, and the
// results window's column, summary and map of the points beyond the limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "ui/file_compute_dialog.h"
#include "ui/file_job.h"
#include "ui/results_model.h"
#include "ui/results_window.h"

namespace quorvel {
namespace {

FileComputeChoice SurfaceChoice() {
    FileComputeChoice c;
    c.mode = Computation::Forward;
    c.lo = "117";
    c.header = true;
    c.projectionHeight = " 1720 ";
    c.distortion = true;
    c.distortionLimit = "0.2";
    return c;
}

TEST(FileComputeSurface, MoreOptionsMakeTheJobQuorvelBatchRuns) {
    engine::Job job;
    ASSERT_EQ(MakeJob(SurfaceChoice(), {}, job), std::nullopt);
    EXPECT_EQ(job.geodesy.projectionHeight, 1720);
    EXPECT_TRUE(job.geodesy.distortion);
    EXPECT_EQ(job.geodesy.distortionLimit, 0.2);
    const std::vector<std::string> args = engine::JobArguments(job);
    EXPECT_NE(std::find(args.begin(), args.end(), "--projection-height=1720"), args.end());
    EXPECT_NE(std::find(args.begin(), args.end(), "--distortion-limit=0.2"), args.end());

    FileComputeChoice c = SurfaceChoice();
    c.header = false;  // no header: no column named H to take the heights from
    EXPECT_NE(MakeJob(c, {}, job), std::nullopt);
    c = SurfaceChoice();
    c.projectionHeight = "12000";
    const auto far = MakeJob(c, {}, job);
    ASSERT_NE(far, std::nullopt);
    EXPECT_NE(far->words.find("--projection-height"), std::string::npos);
    c = SurfaceChoice();
    c.distortionLimit = "0";
    EXPECT_NE(MakeJob(c, {}, job), std::nullopt);
    c = SurfaceChoice();
    c.distortion = false;
    c.distortionLimit = "oops";  // not asked for: not read
    EXPECT_EQ(MakeJob(c, {}, job), std::nullopt);
}

// Three points on a surface 1720 m up: the one at 1200 m lies 8 cm/km long, beyond the limit,
// and is marked; the one without a height is neither measured nor marked.
TEST(FileComputeSurface, ResultsShowTheColumnSummaryAndMarkedPoints) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("quorvel-distortion-" + std::to_string(::getpid()) + ".csv");
    std::ofstream(path) << "点名,L,B,高程\nA,117.3448,30.24,1960\nB,117.3448,30.27,1200\n"
                           "C,117.3448,30.30,\n";
    engine::Job job;
    ASSERT_EQ(MakeJob(SurfaceChoice(), {}, job), std::nullopt);
    job.geodesy.distortionLimit = 2.5;
    FileJob run(job, path.string());
    run.Run();
    std::filesystem::remove(path);
    std::shared_ptr<const FileJobResult> result = run.TakeResult();
    ASSERT_TRUE(result->error.empty()) << result->error;
    EXPECT_EQ(result->counts.distortion.measured, 2u);
    EXPECT_EQ(result->counts.distortion.beyond, 1u);
    EXPECT_EQ(result->counts.distortion.withoutHeight, 1u);

    const MapData map = BuildMapData(*result);
    EXPECT_EQ(map.distorted, (std::vector<std::uint8_t>{0, 1, 0}));
    EXPECT_EQ(map.outside, (std::vector<std::uint8_t>{0, 0, 0}));

    const ResultsModel model(result);
    EXPECT_EQ(model.headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("长度变形 (厘米/千米)"));
    EXPECT_EQ(model.data(model.index(2, 5), Qt::DisplayRole).toString(), QString());
    EXPECT_GT(model.data(model.index(1, 5), Qt::DisplayRole).toString().toDouble(), 2.5);
    const QString summary = SummaryText(*result);
    EXPECT_TRUE(summary.contains(QStringLiteral("\n"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("\"B\""))) << summary.toStdString();
}

}  // namespace
}  // namespace quorvel
