#pragma once

namespace quorvel::platform {

// Readies the standard streams before anything is read or written, and after
// std::ios::sync_with_stdio, which replaces std::cout's and std::cerr's buffers: on Windows binary
// (a CR LF written stays CR LF, never CR CR LF), and std::cout and std::cerr on a console write
// UTF-16 so that Chinese messages show; files and pipes get the same UTF-8 bytes as on Linux.
// Nothing to do on Linux.
void PrepareStandardStreams();

}  // namespace quorvel::platform
