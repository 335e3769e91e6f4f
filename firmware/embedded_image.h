// One firmware image built into the program: its header and lines are constants placed in
// read-only data at compile time, generated from the image's file in firmware/images/.
#pragma once

#include <cstdint>
#include <string_view>

#include "firmware/catalogue.h"

namespace pelion {

// TBl3FileHeader without the owned date text, so that it can be a compile-time constant.
struct TEmbeddedHeader {
    std::uint16_t orvo_class;
    std::uint16_t orvo_verH;
    std::uint16_t orvo_verL;
    std::uint16_t orvo_platform;
    std::uint16_t orvo_print;
    const char* orvo_date;
    std::uint16_t orvo_bl;
    std::uint16_t orvo_bl_ver;

    TBl3FileHeader toHeader() const {
        return {orvo_class, orvo_verH, orvo_verL, orvo_platform,
                orvo_print, orvo_date, orvo_bl,   orvo_bl_ver};
    }
};

struct TEmbeddedImage {
    TEmbeddedHeader header;
    int lastLine;  // index of the end record; lines holds lastLine + 1 entries
    const std::string_view* lines;
};

// The embedded images in catalogue order: entry 0 is image 1.
extern const TEmbeddedImage* const cEMBEDDED_IMAGES[];
extern const int cEMBEDDED_IMAGE_COUNT;

}  // namespace pelion
