// pelion-update: the command-line firmware updater.
#include "cli/startup.h"
#include "cli/updater.h"
#include "link/comm_thread.h"
#include "update/pelion_comm_thread.h"

int main(int argc, char** argv) {
    pelion::WorkerClass = &pelion::makeWorker<pelion::TPelionCommThread>;
    pelion::cli::useUtf8Console();
    return pelion::cli::runUpdater(pelion::cli::programArguments(argc, argv));
}
