// The pelion-sim program: its port line, its service over that port and its exit summary.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/sim/sim_client.h"

extern char** environ;

namespace pelion::sim::test {
namespace {

// pelion-sim running with its standard output on a pipe.
class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> args) {
        const char* dir = std::getenv("PELION_BUILD_DIR");
        const std::string program = std::string(dir ? dir : ".") + "/pelion-sim";
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);

        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fdopen(fds[0], "r");
    }
    ~SimProgram() {
        stop();
        if (out_) {
            fclose(out_);
        }
    }

    bool started() const { return pid_ > 0 && out_; }

    // The next line of its output, without the line end; empty at the end of output.
    std::string readLine() {
        char buffer[512];
        if (!out_ || !fgets(buffer, sizeof buffer, out_)) {
            return "";
        }
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        return line;
    }

    // Stops it with SIGTERM; its exit status.
    int stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
        }
        return wait();
    }

    // Waits for it to end by itself; its exit status.
    int wait() {
        if (pid_ <= 0) {
            return -1;
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

TEST(SimProgram, FirstLineIsThePortAndTheLoggerAnswersThere) {
    SimProgram sim({"--app-version", "0x0601", "--serial", "1000"});
    ASSERT_TRUE(sim.started());
    const std::string port = sim.readLine();
    ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;

    SimClient client(port);
    ASSERT_TRUE(client.isOpen());
    EXPECT_EQ(client.identity(), 0x66010601u);
    client.close();
    EXPECT_EQ(sim.stop(), 0);
}

TEST(SimProgram, ExitSummarySaysWhetherTheFlashEqualsTheExpectedImage) {
    const auto image = std::filesystem::temp_directory_path() /
                       ("pelion_sim_image_" + std::to_string(getpid()) + ".txt");
    const std::vector<std::string> lines{dataLine(0x0000, 0x11), dataLine(0x03DF, 0x22)};
    {
        std::ofstream file(image);
        file << "class=0x6601\r\n" << lines[0] << "\r\n" << lines[1] << "\r\n:00000001FF\r\n";
    }
    SimProgram sim({"--start-in-bootloader", "--expect-image", image.string()});
    ASSERT_TRUE(sim.started());
    {
        SimClient client(sim.readLine());
        ASSERT_TRUE(client.isOpen());
        client.exchange(lineCommand(0x31), 1);
        for (const auto& line : lines) {
            EXPECT_EQ(client.exchange(line, 64), line);
        }
    }
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(sim.readLine(), "flash equals " + image.filename().string() +
                                  ": yes, 2 records written, vector table written last: yes");
    std::filesystem::remove(image);
}

TEST(SimProgram, RefusesUnknownOptionsAndBadNumbers) {
    const std::vector<std::string> refused[] = {
        {"--no-such-option"}, {"--app-version", "0x6g"}, {"--mute"}, {"--bootloader", "bl4"}};
    for (const auto& args : refused) {
        SCOPED_TRACE(args[0]);
        SimProgram sim(args);
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.readLine(), "");
        EXPECT_EQ(sim.wait(), 2);
    }
}

}  // namespace
}  // namespace pelion::sim::test
