// The firmware catalogue: the eleven embedded images (1..11, ascending firmware version), the
// loaded firmware file (image 0) and the index of the image chosen for the current run.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace pelion {

struct TBl3FileHeader {
    std::uint16_t orvo_class = 0;
    std::uint16_t orvo_verH = 0;
    std::uint16_t orvo_verL = 0;
    std::uint16_t orvo_platform = 0;
    std::uint16_t orvo_print = 0;
    std::string orvo_date;
    std::uint16_t orvo_bl = 0;
    std::uint16_t orvo_bl_ver = 0;

    bool operator==(const TBl3FileHeader&) const = default;
};

// Image index: 0 the loaded file, 1..11 the embedded images, -1 none.
extern std::atomic<int> ChosenImage;

// Image 0. Changed by the front end only while no run is active.
extern std::vector<std::string> FirmwareLines;
extern TBl3FileHeader FirmwareFileHeader;

inline constexpr int cFW_HEADER = 0;
inline constexpr int cFW_LAST_LINE = 1;
inline constexpr int cFW_LINE = 2;

int getFirmwareCount();

// The one accessor. First sets header class, platform and print to 0xFFFF, lastLine to 0 and
// text to empty; then fills what the selector asks for. False for an image outside 0..11, a
// selector other than 0..2, or a line number outside 0..last of the image.
bool getFirmwareData(int image, int selector, int line, std::string& text, int& lastLine,
                     TBl3FileHeader& header);

// An image outside 0..11 gives an all-zero header with an empty date, class, platform and
// print 0xFFFF.
TBl3FileHeader getFirmwareHeader(int image);
int getFirmwareLastLine(int image);
// One line of an image; empty past its last line.
std::string getFirmwareLine(int image, int line);
// Every line of an image, end-of-file record included: what a logger's flash holds after it.
std::vector<std::string> getFirmwareLines(int image);
int getChosenLastLine();
std::string getChosenLine(int line);

}  // namespace pelion
