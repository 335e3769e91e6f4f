// pelion-update: the command-line firmware updater.
#include <string>
#include <vector>

#include "cli/updater.h"
#include "link/comm_thread.h"
#include "update/pelion_comm_thread.h"

int main(int argc, char** argv) {
    pelion::WorkerClass = &pelion::makeWorker<pelion::TPelionCommThread>;
    return pelion::cli::runUpdater(std::vector<std::string>(argv + 1, argv + argc));
}
