// Runs the update procedure against the simulated logger and checks what a successful update
// leaves behind: the notifications, the programming on the wire and the logger's flash.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "firmware/catalogue.h"
#include "link/hex_record.h"
#include "sim/simulated_logger.h"
#include "tests/linkthread/worker_run.h"
#include "tests/support/image_lines.h"
#include "update/application_facts.h"
#include "update/options.h"
#include "update/pelion_comm_thread.h"
#include "update/update_context.h"

namespace pelion::test {

inline const std::string cSERIAL_QUERY = "81 03 00 00 00 00 00 F3";
inline const std::string cJUMP_OLD = "85 03 A5 5A 00 00 00 25";
inline const std::string cJUMP_NEW = "82 81 00 A5 5A 00 00 09";
inline const std::string cPLATFORM_QUERY = ":0100000520DA";
inline const std::string cUPDATE_ID_QUERY_BLOCK_0060 = ":01006005306A";
inline const std::string cUPDATE_ID_QUERY_0x1000 = ":0110000530BA";
inline const std::string cSTART_BL = ":0100000511E9";
inline const std::string cEND_BL = ":0100000513E7";
inline const std::string cSTART_BL23 = ":0100000531C9";
inline const std::string cEND_BL23 = ":0100000533C7";
inline const std::string cEND_OF_FILE = ":00000001FF";
constexpr std::uint16_t cVECTOR_TABLE = 0x03DF;

using Notes = std::vector<Notification>;
using Wire = std::vector<std::string>;

// A 64-byte data record at `address` (a block number), its bytes made from `seed`.
inline std::string dataLine(std::uint16_t address, std::uint8_t seed) {
    HexRecord[0] = 0x40;
    HexRecord[1] = static_cast<std::uint8_t>(address >> 8);
    HexRecord[2] = static_cast<std::uint8_t>(address);
    HexRecord[3] = 0;
    for (int k = 0; k < 0x40; ++k) {
        HexRecord[4 + k] = static_cast<std::uint8_t>(0xA0 + seed * 37 + k * 11);
    }
    recordToLine();
    return sHexLine;
}

// The lines a logger must receive to be programmed with `lines`: the 64-byte data records in
// image order, the vector table held back to the end.
inline Wire programmingLines(const std::vector<std::string>& lines) {
    Wire data;
    std::string vectorTable;
    for (const std::string& line : lines) {
        sHexLine = line;
        if (!lineToRecord() || HexRecord[0] != 0x40 || HexRecord[3] != 0) {
            continue;
        }
        if ((HexRecord[1] << 8 | HexRecord[2]) == cVECTOR_TABLE) {
            vectorTable = line;
        } else {
            data.push_back(line);
        }
    }
    if (!vectorTable.empty()) {
        data.push_back(vectorTable);
    }
    return data;
}

class UpdateRun : public ::testing::Test {
protected:
    void SetUp() override { resetGlobals(); }
    void TearDown() override { resetGlobals(); }

    static void resetGlobals() {
        bCheckClass = true;
        bCheckLogger = true;
        bCheckPlatform = true;
        bReadInfoOnly = false;
        ChosenImage = -1;
        FirmwareLines.clear();
        FirmwareFileHeader = {};
        facts = std::make_shared<ApplicationFactsMemory>();
        running.reset();
    }

    // One run, handed what the window's settings say now, as the window hands it; the run's
    // choice then stands in ChosenImage, as the window shows it.
    static Notes run(sim::SimulatedLogger& sim, HookedQueue::Hook hook = {}) {
        auto queue = std::make_shared<HookedQueue>(std::move(hook));
        const int chosen = ChosenImage.load();
        running =
            std::make_shared<UpdateContext>(queue, currentUpdateOptions(), chosen,
                                            chosen == 0 ? currentFirmwareFile() : nullptr, facts);
        TPelionCommThread worker(running, tCMD0, sim.portPath());
        Notes notes = collectRun(worker, *running, *queue);
        ChosenImage = running->ChosenImage.load();
        return notes;
    }

    // The user's Cancel, for a hook.
    static void cancel() { running->bCancel = true; }

    // What the runs of one test read from the logger's application: one user action.
    static inline std::shared_ptr<ApplicationFactsMemory> facts;
    static inline std::shared_ptr<UpdateContext> running;  // the run started last

    // Image 0: the firmware file a user loaded.
    static void loadImage(const std::vector<std::string>& lines, const TBl3FileHeader& header) {
        FirmwareLines = lines;
        FirmwareFileHeader = header;
        ChosenImage = 0;
    }

    // From cNT_UPDATE_START on, for a successful update with an embedded image (hundreds of
    // lines): progress climbs by one from 1 to 98, the vector table is held back once and
    // programmed at the end, and the logger comes back with `cls`.
    static void expectFullProgramming(const Notes& notes, std::uint16_t cls) {
        auto at = std::find(notes.begin(), notes.end(), Notification{cNT_UPDATE_START, tCMD0});
        ASSERT_NE(at, notes.end());
        std::vector<int> progress;
        int heldBack = 0;
        for (++at; at != notes.end(); ++at) {
            if (at->code == cNT_PROGRESS) {
                progress.push_back(at->value);
            } else if (*at == Notification{cNT_VECTOR_TABLE, 0}) {
                ++heldBack;
            } else {
                break;
            }
        }
        std::vector<int> expectedProgress(98);
        std::iota(expectedProgress.begin(), expectedProgress.end(), 1);
        EXPECT_EQ(progress, expectedProgress);
        EXPECT_EQ(heldBack, 1);
        EXPECT_EQ(Notes(at, notes.end()),
                  (Notes{{cNT_VECTOR_TABLE, 1}, {cNT_CLASS, cls}, {cNT_FINISHED, tCMD0}}));
    }

    // After a successful run: the logger holds exactly `lines`, its vector table written last,
    // and it received the programming lines between `start` and `end`, then one identity query.
    static void expectProgrammed(const sim::SimulatedLogger& sim, const Wire& wire,
                                 const std::vector<std::string>& lines, const std::string& start,
                                 const std::string& end) {
        EXPECT_TRUE(sim.flashEquals(lines));
        EXPECT_TRUE(sim.vectorTableWritten());
        const auto order = sim.writeOrder();
        ASSERT_FALSE(order.empty());
        EXPECT_EQ(order.back(), cVECTOR_TABLE);
        Wire expected{start};
        const Wire data = programmingLines(lines);
        expected.insert(expected.end(), data.begin(), data.end());
        expected.push_back(end);
        expected.push_back(cIDENTITY_QUERY);
        const auto at = std::find(wire.begin(), wire.end(), start);
        EXPECT_EQ(Wire(at, wire.end()), expected);
    }
};

}  // namespace pelion::test
