#include "firmware/catalogue.h"

#include "firmware/embedded_image.h"
#include "firmware/naming.h"

namespace pelion {

std::atomic<int> ChosenImage{-1};
std::vector<std::string> FirmwareLines;
TBl3FileHeader FirmwareFileHeader;

namespace {

bool loadedFileData(int selector, int line, std::string& text, int& lastLine,
                    TBl3FileHeader& header) {
    const int last = static_cast<int>(FirmwareLines.size()) - 1;
    switch (selector) {
        case cFW_HEADER:
            header = FirmwareFileHeader;
            return true;
        case cFW_LAST_LINE:
            lastLine = last;
            return true;
        case cFW_LINE:
            if (line < 0 || line > last)
                return false;
            text = FirmwareLines[static_cast<std::size_t>(line)];
            return true;
        default:
            return false;
    }
}

bool embeddedData(const TEmbeddedImage& image, int selector, int line, std::string& text,
                  int& lastLine, TBl3FileHeader& header) {
    switch (selector) {
        case cFW_HEADER:
            header = image.header.toHeader();
            return true;
        case cFW_LAST_LINE:
            lastLine = image.lastLine;
            return true;
        case cFW_LINE:
            if (line < 0 || line > image.lastLine)
                return false;
            text = image.lines[line];
            return true;
        default:
            return false;
    }
}

}  // namespace

int getFirmwareCount() {
    return cEMBEDDED_IMAGE_COUNT;
}

bool getFirmwareData(int image, int selector, int line, std::string& text, int& lastLine,
                     TBl3FileHeader& header) {
    header.orvo_class = cCODE_NONE;
    header.orvo_platform = cCODE_NONE;
    header.orvo_print = cCODE_NONE;
    lastLine = 0;
    text.clear();
    if (image == 0)
        return loadedFileData(selector, line, text, lastLine, header);
    if (image < 1 || image > cEMBEDDED_IMAGE_COUNT)
        return false;
    return embeddedData(*cEMBEDDED_IMAGES[image - 1], selector, line, text, lastLine, header);
}

TBl3FileHeader getFirmwareHeader(int image) {
    std::string text;
    int lastLine = 0;
    TBl3FileHeader header;
    getFirmwareData(image, cFW_HEADER, 0, text, lastLine, header);
    return header;
}

int getFirmwareLastLine(int image) {
    std::string text;
    int lastLine = 0;
    TBl3FileHeader header;
    getFirmwareData(image, cFW_LAST_LINE, 0, text, lastLine, header);
    return lastLine;
}

std::string getFirmwareLine(int image, int line) {
    std::string text;
    int lastLine = 0;
    TBl3FileHeader header;
    getFirmwareData(image, cFW_LINE, line, text, lastLine, header);
    return text;
}

std::vector<std::string> getFirmwareLines(int image) {
    std::vector<std::string> lines;
    const int last = getFirmwareLastLine(image);
    for (int n = 0; n <= last; ++n) {
        lines.push_back(getFirmwareLine(image, n));
    }
    return lines;
}

int getChosenLastLine() {
    return getFirmwareLastLine(ChosenImage.load());
}

std::string getChosenLine(int line) {
    return getFirmwareLine(ChosenImage.load(), line);
}

}  // namespace pelion
