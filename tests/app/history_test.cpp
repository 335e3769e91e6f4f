// The update history file: digests of the lines programmed, whole lines from many writers at
// once, a line cut by a crash, a folder that cannot be written, rotation.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "app/history_file.h"
#include "app/sha256.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;

struct DigestCase {
    std::string input;
    const char* digest;
};

// The standard test vectors, and inputs that end on each side of the padding's block border.
TEST(Sha256, GivesTheStandardDigests) {
    const DigestCase cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "mn"
         "opqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    };
    for (const DigestCase& c : cases) {
        EXPECT_EQ(sha256Hex(c.input), c.digest) << c.input.size() << " bytes";
    }
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    const std::string text(1000, 'x');
    Sha256 hash;
    for (std::size_t at = 0; at < text.size(); at += 7) {
        hash.add(std::string_view(text).substr(at, 7));
    }
    EXPECT_EQ(hash.hexDigest(), sha256Hex(text));
}

class HistoryFileTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("pelion_history_" + std::to_string(getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_ / "state", fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }

    static HistoryRecord record(const std::string& id, const std::string& port) {
        HistoryRecord r;
        r.id = id;
        r.state = cSTATE_ENDED;
        r.port = port;
        r.logger.serialNumber = 328300;
        r.logger.appVersion = 0x0588;
        r.image = {8, "5.136", sha256Hex("lines")};
        r.verdict = "Update PelionB V5.136 succesfully completed.";
        r.exitStatus = 0;
        return r;
    }

    std::string text(const fs::path& path) const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path folder_;
};

TEST_F(HistoryFileTest, CreatesItsFoldersAndReadsBackEveryField) {
    const HistoryFile file((folder_ / "a" / "b" / "history.jsonl").string());
    HistoryRecord written = record("run-1", "/dev/ttyUSB0");
    written.adapter = {"0403:6001", "A10K3XYZ", "1-1.2"};
    written.logger.platform = 12;
    written.logger.updateInfo = 0x1A;
    written.factsSource = cFACTS_HISTORY;
    written.factsFrom = "run-0";
    written.linesSent = 522;
    written.repeats = 2;
    ASSERT_EQ(file.append(written), "");

    const HistoryRead read = file.read();
    ASSERT_EQ(read.records.size(), 1u);
    const HistoryRecord& r = read.records[0];
    EXPECT_EQ(historyLine(r), historyLine(written));
    EXPECT_EQ(r.adapter, written.adapter);
    EXPECT_EQ(r.logger.serialNumber, 328300u);
    EXPECT_EQ(r.logger.blClass, std::nullopt);
    EXPECT_EQ(r.image.sha256, sha256Hex("lines"));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(read.skippedLines, 0);
}

// A port name or a verdict with a line break must not split its record.
TEST_F(HistoryFileTest, OutsideTextStaysOnItsLine) {
    const HistoryFile file((folder_ / "history.jsonl").string());
    ASSERT_EQ(file.append(record("run-1", "/dev/tty\nUSB0\xff")), "");
    ASSERT_EQ(file.append(record("run-2", "COM3")), "");
    const HistoryRead read = file.read();
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.skippedLines, 0);
    EXPECT_EQ(read.records[1].port, "COM3");
}

// A crash in the middle of a write leaves half a line: it is skipped and counted, and the next
// record starts on a line of its own.
TEST_F(HistoryFileTest, ACutLineIsSkippedAndTheNextAppendIsWhole) {
    const HistoryFile file((folder_ / "history.jsonl").string());
    ASSERT_EQ(file.append(record("run-1", "P1")), "");
    const std::string line = historyLine(record("run-2", "P2"));
    std::ofstream(file.path(), std::ios::app) << line.substr(0, line.size() / 2);
    ASSERT_EQ(file.append(record("run-3", "P3")), "");

    const HistoryRead read = file.read();
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].id, "run-1");
    EXPECT_EQ(read.records[1].id, "run-3");
    EXPECT_EQ(read.skippedLines, 1);
}

TEST_F(HistoryFileTest, AFolderThatCannotBeWrittenIsAProblemInWords) {
    if (geteuid() == 0) {
        // root writes anywhere; a file where the folder belongs stops root too.
        fs::create_directories(folder_);
        std::ofstream(folder_ / "state") << "a file, not a folder";
    } else {
        fs::create_directories(folder_ / "state");
        fs::permissions(folder_ / "state", fs::perms::owner_read | fs::perms::owner_exec);
    }
    const HistoryFile file((folder_ / "state" / "pelion-update" / "history.jsonl").string());
    const std::string problem = file.append(record("run-1", "P1"));
    EXPECT_NE(problem.find((folder_ / "state").string()), std::string::npos) << problem;
    EXPECT_TRUE(file.read().records.empty());
    EXPECT_EQ(file.read().problem, "");
}

TEST_F(HistoryFileTest, RotatesAtItsSizeAndKeepsThePreviousFile) {
    const std::size_t lineBytes = historyLine(record("run-10", "P")).size() + 1;
    const HistoryFile file((folder_ / "history.jsonl").string(), 3 * lineBytes);
    for (int i = 10; i < 17; ++i) {
        ASSERT_EQ(file.append(record("run-" + std::to_string(i), "P")), "");
    }
    EXPECT_LE(fs::file_size(file.path()), 3 * lineBytes);
    EXPECT_LE(fs::file_size(file.previousPath()), 3 * lineBytes);
    const HistoryRead read = file.read();
    // Seven appended, three to a file: the oldest file went with the second rotation.
    ASSERT_EQ(read.records.size(), 4u);
    EXPECT_EQ(read.records.front().id, "run-13");
    EXPECT_EQ(read.records.back().id, "run-16");
}

// Threads of one process and several processes append at once, and the file rotates once on
// the way: every record arrives whole, none twice, none lost.
TEST_F(HistoryFileTest, ManyWritersAtOnceAppendWholeLinesThroughARotation) {
    constexpr int cPROCESSES = 3;
    constexpr int cTHREADS = 4;
    constexpr int cRECORDS = 50;
    const std::size_t allBytes = cPROCESSES * cTHREADS * cRECORDS * 3300;
    const HistoryFile file((folder_ / "history.jsonl").string(), allBytes * 6 / 10);
    const auto appendMany = [&](const std::string& writer) {
        for (int i = 0; i < cRECORDS; ++i) {
            HistoryRecord r = record(writer + "-" + std::to_string(i), writer);
            r.verdict = std::string(3000, 'v');  // longer than one write of a pipe's size
            if (!file.append(r).empty()) {
                return false;
            }
        }
        return true;
    };
    std::vector<pid_t> children;
    for (int p = 0; p < cPROCESSES; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<std::thread> threads;
            std::atomic<bool> ok = true;
            for (int t = 0; t < cTHREADS; ++t) {
                threads.emplace_back([&, t] {
                    ok = appendMany("p" + std::to_string(p) + "t" + std::to_string(t)) && ok;
                });
            }
            for (std::thread& t : threads) {
                t.join();
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(fs::exists(file.previousPath()));
    const HistoryRead read = file.read();
    EXPECT_EQ(read.skippedLines, 0);
    std::set<std::string> ids;
    for (const HistoryRecord& r : read.records) {
        ids.insert(r.id);
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(cPROCESSES * cTHREADS * cRECORDS));
    EXPECT_EQ(read.records.size(), ids.size());
}

}  // namespace
}  // namespace pelion
