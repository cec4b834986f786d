// What the native tests read from outside: a fixture file whole, and what a tool prints.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

// The whole of a file ("" when it cannot be read).
inline std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// What a command prints on its standard output ("" when it cannot be run).
inline std::string CommandOutput(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}
