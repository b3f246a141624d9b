#pragma once

// Runs an external program (PROJ's cct, GeographicLib's tools, Python) on lines of text, as the
// tests compare against them live. A program that is missing or fails is a test failure, not a
// skip: CI installs them (scripts/install-deps.sh test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quorvel {

// Runs `command` on `lines` as standard input; the first four numbers of every output line, of
// which there must be as many as lines (or `rows`).
inline std::vector<std::vector<double>> RunTool(const std::string& command,
                                                const std::vector<std::string>& lines,
                                                std::size_t rows = 0) {
    char path[] = "/tmp/quorvel-tool-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("no temporary file");
    close(fd);
    {
        std::ofstream in(path);
        for (const std::string& l : lines) in << l << '\n';
    }
    FILE* pipe = popen((command + " < " + path + " 2>&1").c_str(), "r");
    std::vector<std::vector<double>> out;
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) {
        std::istringstream ss(buffer);
        std::vector<double> row;
        double v;
        while (row.size() < 4 && ss >> v) row.push_back(v);
        out.push_back(row);
    }
    const int status = pipe ? pclose(pipe) : -1;
    std::remove(path);
    if (rows == 0) rows = lines.size();
    if (status != 0 || out.size() != rows) {
        ADD_FAILURE() << command << " failed (status " << status << ", " << out.size() << " of "
                      << rows << " lines); is it installed?";
        return {};
    }
    return out;
}

// A double as text that reads back to the same double.
inline std::string Num(double v) {
    char s[40];
    std::snprintf(s, sizeof s, "%.17g", v);
    return s;
}

}  // namespace quorvel
