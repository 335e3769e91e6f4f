// Runs the cases of a sweep or soak in parallel child processes of this program: each child
// takes every n-th case (--shard i/n) and prints one line per case.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pelion::reliability {

// Starts `jobs` children of the running program with `args` and "--shard i/jobs"; calls
// `onLine` with each line they print, in the order lines arrive. False when a child could not
// be started or ended abnormally.
bool runShards(const std::vector<std::string>& args, int jobs,
               const std::function<void(const std::string&)>& onLine);

}  // namespace pelion::reliability
