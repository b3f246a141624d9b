#pragma once

// The typed datum jobs the engine's and the command line's datum tests run: a 4-parameter file
// of Beijing 1954 to CGCS2000 in 3° zone 39, fitted over 23 km, and common points of its area.
#include <string_view>

#include "core/coordinate_system.h"
#include "core/parameter_file.h"
#include "engine/datum/datum_operation.h"

namespace quorvel::testing {

inline constexpr std::string_view kZone39Parameters =
    "model = 4\nconvention = coordinate-frame\nfrom = plane:krassovsky:zone3\n"
    "to = plane:cgcs2000:zone3\nheights = no\nfromZone = 39\ntoZone = 39\n"
    "dx = 119.73916170796144\ndy = 1347.7658725926744\nrotation = 0.507338103662886\n"
    "scale = -37.492249745585404\ncentreL = 117.02446425205328\n"
    "centreB = 40.02467889769436\nradius = 23354.429400200537\n";

// Beijing 1954 X, Y, then CGCS2000 X, Y.
inline constexpr std::string_view kZone39Common =
    "G01,4440600.714,39501756.017,4440456.813,39501633.696\n"
    "G02,4420397.598,39482022.914,4420254.500,39481901.271\n"
    "G03,4434937.259,39495428.113,4434793.575,39495306.024\n"
    "G04,4441486.667,39511964.036,4441342.709,39511841.339\n";

inline engine::TransformJob Zone39Transform() {
    engine::TransformJob job;
    job.parameters = ReadParameterFile(kZone39Parameters);
    job.parameterName = "p.txt";
    return job;
}

inline engine::FitJob Zone39Fit() {
    engine::FitJob job;
    job.from = ParseCoordinateSystem("plane:krassovsky:zone3");
    job.to = ParseCoordinateSystem("plane:cgcs2000:zone3");
    job.fit.model = DatumModel::Four;
    return job;
}

}  // namespace quorvel::testing
