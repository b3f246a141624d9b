#pragma once

#include <string>

namespace quorvel::engine {

// A new folder beside the file `resolved` (its symbolic links followed) for a library to write
// into: "." and the file's name, the process's id and six characters, so that one left behind
// by a run that was killed can be told from anything else. Folders so named in that folder that
// the user owns, holding only such a library's files ("points.*"), are removed first when the
// run that made them has ended or they are a day old. Throws IoError naming `shown`.
std::string MakeStageFolder(const std::string& resolved, const std::string& shown);

}  // namespace quorvel::engine
