#pragma once

#include <span>
#include <string_view>

namespace quorvel::cli {

struct Environment;

// Whether the command line is quorvel-batch sheet: its mode is "sheet".
bool IsSheetCommand(std::span<const std::string_view> args);

// quorvel-batch sheet --scale 1:N [--old | --plane] [--neighbours] [projection] [options] [FILE]:
// each point's map sheet (图幅号) with its corners; with --corners NUMBER…, the corners of the
// sheets named. Exit status 0 all points numbered; 1 some lines rejected (a point outside the
// numbering among them), each said on standard error; 2 for a usage error, a number that names
// no sheet, or input that cannot be read, with nothing written.
int RunSheetCommand(std::span<const std::string_view> args, const Environment& env);

}  // namespace quorvel::cli
