// The zone change's band on the results map, drawn with the job's own projection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <GeographicLib/TransverseMercator.hpp>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/classic_series.h"
#include "ui/file_job.h"

namespace quorvel {
namespace {

class ZoneBandMap : public ::testing::Test {
  protected:
    // Two points at 3380 km north: one on the meridian, one 350 km west of it, beyond 3°.
    MapData Run(const engine::Geodesy& geodesy) {
        const double fe = geodesy.falseEasting;
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() /
            ("quorvel-zone-band-" + std::to_string(::getpid()) + ".csv");
        std::ofstream(path) << "A,3380000," << fe << "\nB,3380000," << fe - 350000 << "\n";
        engine::Job job;
        job.mode = Computation::Zone;
        job.loText = job.lsText = "117";
        job.meridians = {117, 117};
        job.geodesy = geodesy;
        FileJob run(job, path.string());
        run.Run();
        std::filesystem::remove(path);
        const std::unique_ptr<FileJobResult> result = run.TakeResult();
        EXPECT_TRUE(result->error.empty()) << result->error;
        EXPECT_EQ(result->counts.points, 2u);
        return BuildMapData(*result);
    }
};

// The default job's band is the classic series on Krassovsky at 117° ± 3°, the false easting
// 500 km, over the points' latitude ± 0.5° in 64 steps: as drawn before the projection was the
// job's, to the micrometre.
TEST_F(ZoneBandMap, DefaultJobKeepsTheClassicBand) {
    const MapData map = Run({});
    const EllipsoidConstants c = EllipsoidConstants::Load();
    // The zone change carries the points back to nearly, not exactly, 3380 km.
    const double south = FootpointLatitude(c, std::min(map.y[0], map.y[1])) - 0.5;
    const double north = FootpointLatitude(c, std::max(map.y[0], map.y[1])) + 0.5;
    ASSERT_EQ(map.eastEdge.size(), 65u);
    ASSERT_EQ(map.westEdge.size(), 65u);
    for (int k = 0; k <= 64; ++k) {
        const double lat = south + (north - south) * k / 64;
        const PlanePoint p = ForwardProject(c, lat, 120, 117);
        EXPECT_EQ(map.eastEdge[k].first, FalseEasting + p.AbsY) << k;
        EXPECT_EQ(map.westEdge[k].first, FalseEasting - p.AbsY) << k;
        EXPECT_EQ(map.eastEdge[k].second, p.X) << k;
    }
    EXPECT_EQ(map.meridian, 500000);
    EXPECT_EQ(map.outside, (std::vector<std::uint8_t>{0, 1}));
}

// Another ellipsoid, scale and false easting: every vertex of the edges lies on 117° ± 3° of that
// projection (edge easting FE + k0·y(3°)), and the points are judged from its meridian.
TEST_F(ZoneBandMap, CustomProjectionMovesAndScalesTheBand) {
    for (const double fe : {0.0, 250000.0}) {
        engine::Geodesy g;
        g.ellipsoid = Cgcs2000();
        g.method = Method::Exact;
        g.k0 = 0.9996;
        g.falseEasting = fe;
        const MapData map = Run(g);
        const GeographicLib::TransverseMercator tm(g.ellipsoid.a, g.ellipsoid.f, g.k0);
        ASSERT_FALSE(map.eastEdge.empty());
        ASSERT_EQ(map.westEdge.size(), map.eastEdge.size());
        double lat = 0, lon = 0;
        for (std::size_t k = 0; k < map.eastEdge.size(); ++k) {
            tm.Reverse(117, map.eastEdge[k].first - fe, map.eastEdge[k].second, lat, lon);
            EXPECT_NEAR(lon, 120, 1e-9) << fe << ' ' << k;
            tm.Reverse(117, map.westEdge[k].first - fe, map.westEdge[k].second, lat, lon);
            EXPECT_NEAR(lon, 114, 1e-9) << fe << ' ' << k;
        }
        // The band spans the points' latitude with room on both sides.
        tm.Reverse(117, 0, map.eastEdge.front().second, lat, lon);
        double north = 0;
        tm.Reverse(117, 0, map.eastEdge.back().second, north, lon);
        EXPECT_LT(map.eastEdge.front().second, 3380000);
        EXPECT_GT(map.eastEdge.back().second, 3380000);
        EXPECT_NEAR(north - lat, 1.0, 0.01);
        EXPECT_EQ(map.meridian, fe);
        EXPECT_EQ(map.outside, (std::vector<std::uint8_t>{0, 1})) << fe;
    }
}

}  // namespace
}  // namespace quorvel
