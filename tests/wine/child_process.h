// Test support: runs another program of the prefix (Wine's reg.exe, ...) and captures
// what it prints.
#pragma once

#include <string>

namespace test_support {

// Runs a command line, waits up to 30 s for it and returns what it wrote to its
// standard output and error.
std::string run_and_capture(std::string command_line);

// The path of a program built into the same folder as the running one.
std::string program_beside_this_one(const char* name);

} // namespace test_support
