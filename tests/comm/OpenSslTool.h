// The openssl command as an independent peer of the RSA and certificate tests: whether it is
// there, and running it quietly in a folder.
#pragma once

#include <cstdlib>
#include <string>

namespace commtest {

inline bool HasOpenSslTool() { return std::system("openssl version >/dev/null 2>&1") == 0; }

// Runs "openssl <arguments>" in dir; true when it exits with 0.
inline bool OpenSsl(const std::string& dir, const std::string& arguments) {
    const std::string line = "cd '" + dir + "' && openssl " + arguments + " >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

}  // namespace commtest
