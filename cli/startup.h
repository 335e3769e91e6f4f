// What the program takes from its platform when it starts: its arguments as UTF-8, the form of
// every text and path inside the program, and a console that shows UTF-8 output as it is.
#pragma once

#include <string>
#include <vector>

namespace pelion::cli {

// The arguments after the program's name.
std::vector<std::string> programArguments(int argc, char** argv);

// Lets the console show the program's UTF-8 output for as long as the program runs.
void useUtf8Console();

}  // namespace pelion::cli
