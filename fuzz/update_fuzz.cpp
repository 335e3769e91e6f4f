// Fuzz target: one whole update run against a logger whose frames and answers the fuzz input
// loses, cuts, damages or delays (scripted_port.h). Whatever the input, the run ends with
// exactly one outcome, never with an error that is not the updater's own, a run that ends as a
// success has left the chosen image in the logger's flash, and a run that only reads the
// logger's facts never ends as a success.
//
// Input: the first byte picks the logger (one per embedded image, in its application or its
// bootloader) and the option flags; the second what the run programs. Even ones program a short
// image made of the logger's own image (its header, its first one to four data records, its
// vector table and the end record) as the user's firmware file, so that a whole update takes
// some thirty frames and the fuzzer reaches the end of programming and the final check often.
// Odd ones walk the whole catalogue for the image choice and stop there, as "Read info only"
// does: programming an embedded image takes some eight hundred frames and is covered by the
// short images, whose records go through the same code.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/notification_texts.h"
#include "firmware/catalogue.h"
#include "fuzz/scripted_port.h"
#include "link/comm_thread.h"
#include "link/hex_record.h"
#include "link/link_timing.h"
#include "reliability/logger_setups.h"
#include "update/options.h"
#include "update/pelion_comm_thread.h"
#include "update/update_context.h"

namespace {

using namespace pelion;

constexpr std::size_t cMOST_DATA_RECORDS = 4;
constexpr std::uint16_t cVECTOR_TABLE_ADDRESS = 0x03DF;

class Outcomes : public NotificationTarget {
public:
    void post(std::uint32_t code, std::int32_t value) override {
        if (code == cNT_FINISHED || code == cNT_ABORTED || code == cNT_RETRY) {
            ends.push_back({code, value});
        }
    }
    std::vector<Notification> ends;
};

using ShortImages = std::array<std::shared_ptr<const FirmwareFile>, cMOST_DATA_RECORDS>;

// The short images of one embedded image: its first 1 to 4 data records, then its vector
// table and the end record.
ShortImages shortImagesOf(int image) {
    std::vector<std::string> data;
    std::string vectorTable;
    for (const std::string& line : getFirmwareLines(image)) {
        sHexLine = line;
        if (!lineToRecord() || HexRecord[3] != 0) {
            continue;
        }
        if (bytesToWord(HexRecord[1], HexRecord[2]) == cVECTOR_TABLE_ADDRESS) {
            vectorTable = line;
        } else if (data.size() < cMOST_DATA_RECORDS) {
            data.push_back(line);
        }
    }
    ShortImages images;
    for (std::size_t count = 1; count <= cMOST_DATA_RECORDS; ++count) {
        FirmwareFile file{getFirmwareHeader(image), {data.begin(), data.begin() + count}};
        file.lines.push_back(vectorTable);
        file.lines.push_back(":00000001FF");
        images[count - 1] = std::make_shared<const FirmwareFile>(std::move(file));
    }
    return images;
}

const std::vector<ShortImages>& shortImages() {
    static const std::vector<ShortImages> all = [] {
        std::vector<ShortImages> images;
        for (const auto& setup : reliability::loggerSetups()) {
            images.push_back(shortImagesOf(setup.image));
        }
        return images;
    }();
    return all;
}

std::vector<std::string> chosenImageLines(const UpdateContext& run) {
    std::vector<std::string> lines;
    for (int n = 0; n <= run.chosenLastLine(); ++n) {
        lines.push_back(run.chosenLine(n));
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setLinkTimeDivisor(1 << 30);  // every pause and wait of the link becomes 0
    shortImages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t setup = data[0];
    const std::uint8_t programmed = data[1];
    const auto& setups = reliability::loggerSetups();
    const std::size_t logger = setup % setups.size();
    sim::LoggerConfig config = setups[logger].config;
    config.startInBootloader = (setup & 0x10) != 0;
    UpdateOptions options;
    options.bCheckClass = (setup & 0x20) == 0;
    options.bCheckPlatform = (setup & 0x40) == 0;
    options.bCheckLogger = (setup & 0x80) == 0;
    const bool wholeCatalogue = (programmed & 1) != 0;
    options.bReadInfoOnly = wholeCatalogue;
    std::shared_ptr<const FirmwareFile> file;
    if (!wholeCatalogue) {
        file = shortImages()[logger][(programmed >> 1) % cMOST_DATA_RECORDS];
    }

    fuzz::ScriptedLine line(config, data + 2, size - 2);
    fuzz::useLine(&line);
    auto outcomes = std::make_shared<Outcomes>();
    auto run =
        std::make_shared<UpdateContext>(outcomes, options, wholeCatalogue ? -1 : 0, file, nullptr);
    {
        TPelionCommThread worker(run, tCMD0, "fuzz");
        worker.Execute();
    }
    fuzz::useLine(nullptr);

    if (outcomes->ends.size() != 1) {
        std::abort();  // a run posts exactly one outcome
    }
    const Notification end = outcomes->ends.front();
    if (end.code == cNT_ABORTED && !abortText(end.value, {}).known) {
        std::abort();  // "Fatal Exception": an error that is not the updater's own escaped the run
    }
    if (end.code == cNT_FINISHED &&
        (wholeCatalogue || !line.logger().flash().equals(chosenImageLines(*run)))) {
        std::abort();  // a success without the image in the flash, or after reading only
    }
    return 0;
}
