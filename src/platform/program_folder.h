#pragma once

#include <filesystem>

namespace quorvel::platform {

// The folder holding the running program, which finds its catalogue, modules and helper programs
// relative to itself so that an installed tree (or an unzipped one) may move. Empty when the
// system cannot tell.
std::filesystem::path ProgramFolder();

// How a program's file name ends: "" on Linux, ".exe" on Windows.
const char* ProgramFileEnding();

}  // namespace quorvel::platform
