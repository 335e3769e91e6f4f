#include "firmware/naming.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace pelion {

namespace {

constexpr std::string_view cUNKNOWN = "?";

struct TCodeName {
    std::uint16_t code;
    std::string_view name;
};

// A radio variant class has a name per radio board; the other classes have only `name`.
struct TClassName {
    std::uint16_t code;
    std::string_view name;  // for a variant class: the generic radio name
    std::string_view wlanName;
    std::string_view bleName;
};

constexpr TClassName cCLASS_NAMES[] = {
    {0x6590, "Prototype", {}, {}},
    {0x6601, "PelionB", {}, {}},
    {0x6602, "Pelion C2", {}, {}},
    {0x6603, "Pelion C3", {}, {}},
    {0x6604, "Pelion T1", {}, {}},
    {0x6605, "Pelion T2", {}, {}},
    {0x6606, "Pelion H1", {}, {}},
    {0x6607, "Pelion H2", {}, {}},
    {0x6608, "Pelion P1", {}, {}},
    {0x6609, "Pelion P2", {}, {}},
    {0x660A, "SD CARD", {}, {}},
    {0x660B, "Pelion S1", {}, {}},
    {0x660C, "Pelion S2", {}, {}},
    {0x660E, "Pelion D1", {}, {}},
    {0x660F, "Pelion D2", {}, {}},
    {0x6610, "Pelion V1", {}, {}},
    {0x6611, "Pelion V2", {}, {}},
    {0x6612, "Pelion M1", {}, {}},
    {0x6613, "Pelion M2", {}, {}},
    {0x6614, "Pelion K1", {}, {}},
    {0x6615, "Pelion K2", {}, {}},
    {0x6616, "Pelion L1", {}, {}},
    {0x6617, "Pelion R1 Radio", "Pelion R1 WLAN", "Pelion R1 BLE"},
    {0x6618, "Pelion L2", {}, {}},
    {0x6619, "Pelion E1", {}, {}},
    {0x661A, "Pelion E2", {}, {}},
    {0x661B, "Pelion G1", {}, {}},
    {0x661C, "Pelion G2", {}, {}},
    {0x661D, "Pelion N1", {}, {}},
    {0x661E, "Pelion N2", {}, {}},
    {0x661F, "Pelion Q1", {}, {}},
    {0x6620, "Pelion Q2", {}, {}},
    {0x6621, "Pelion R4 Radio", "Pelion R4 WLAN", "Pelion R4 BLE"},
    {0x6622, "Pelion U1", {}, {}},
    {0x6623, "Pelion U2", {}, {}},
    {0x6624, "Pelion W1", {}, {}},
    {0x6625, "Pelion W2", {}, {}},
    {0x6626, "Pelion X1", {}, {}},
    {0x6627, "Pelion X2", {}, {}},
    {0x6628, "Pelion Y1", {}, {}},
    {0x6629, "Pelion Y2", {}, {}},
    {0x662A, "Pelion Z1", {}, {}},
    {0x662B, "WLAN Production", {}, {}},
    {0x662C, "Pelion Z2", {}, {}},
    {0x662D, "Pelion F1", {}, {}},
    {0x662E, "Pelion F2", {}, {}},
    {0x662F, "Pelion J1", {}, {}},
    {0xC800, "BL", {}, {}},
    {0xC801, "BL2", {}, {}},
    {0xC802, "BL3", {}, {}},
};

// The print codes of the radio boards that pick a variant class's WLAN or BLE name.
constexpr std::uint16_t cWLAN_PRINTS[] = {38, 47};
constexpr std::uint16_t cBLE_PRINTS[] = {39, 48};

constexpr TCodeName cPLATFORM_NAMES[] = {
    {0, "F1612 A"},         {1, "F1612 B"},    {2, "F2617 B"},   {3, "F1611 SD"}, {4, "F1611 B"},
    {5, "F1610 B"},         {6, "F1611 C"},    {7, "F2617 C"},   {8, "F5528 A"},  {9, "F1611 D"},
    {10, "F2274 A"},        {11, "F5340 SD"},  {12, "F5328 A"},  {13, "F5419 A"}, {14, "F5438 A"},
    {15, "F5438 WD"},       {16, "F5328 B"},   {17, "F5328 C"},  {18, "NINA"},    {19, "BlueGiga"},
    {20, "Pelion RM1"},     {21, "F5438 WD2"}, {22, "F5340 SM"}, {23, "F5335"},   {24, "F5335B"},
    {0xFFFE, "F1611 C-SP"},
};

constexpr TCodeName cPRINT_NAMES[] = {
    {0, "A0"},
    {1, "A1"},
    {2, "A2"},
    {3, "B3"},
    {4, "C1"},
    {5, "A3"},
    {6, "A5"},
    {7, "C2"},
    {8, "D1"},
    {9, "C3"},
    {10, "A6/A7/A8"},
    {11, "N1/2 Display"},
    {12, "A6 Pelion D1"},
    {13, "PM0"},
    {14, "N1/2 DAC"},
    {15, "PB0"},
    {16, "E3"},
    {17, "B5"},
    {18, "A9b"},
    {19, "A10"},
    {20, "C5"},
    {21, "C6"},
    {22, "AR9"},
    {23, "PM3"},
    {24, "A9 Pelion R1"},
    {25, "A9 Pelion R4"},
    {26, "A9b Pelion T1"},
    {27, "A9c Pelion H1"},
    {28, "A10 Pelion R1"},
    {29, "A10 Pelion R4"},
    {30, "A9d"},
    {31, "NINA W1 UART"},
    {32, "NINA W1 SPI"},
    {33, "A10 WLAN UART"},
    {34, "A10 WLAN SPI"},
    {35, "NINA B3 UART"},
    {36, "BlueGiga UART"},
    {37, "A10e"},
    {38, "A10e WLAN UART"},
    {39, "A10e BLE UART"},
    {40, "A10e Pelion S2"},
    {43, "A10g Pelion S2"},
    {44, "A9e"},
    {45, "TGT1a"},
    {46, "A10g"},
    {47, "A10g WLAN UART"},
    {48, "A10g BLE UART"},
    {49, "A9f"},
    {50, "A10 Modbus"},
};

struct TUpidAddress {
    std::uint16_t code;  // platform
    std::uint32_t address;
};

constexpr TUpidAddress cUPID_ADDRESSES[] = {
    {1, 0x1000},  {2, 0x1000},  {4, 0x1000},      {5, 0x1000},  {6, 0x1000},  {7, 0x1000},
    {9, 0x1000},  {10, 0x1000}, {0xFFFE, 0x1000}, {8, 0x1900},  {11, 0x1900}, {12, 0x1800},
    {13, 0x1800}, {14, 0x1800}, {15, 0x1800},     {16, 0x1800}, {17, 0x1800}, {20, 0x1800},
    {21, 0x1800}, {22, 0x1800}, {23, 0x1800},     {24, 0x1800},
};

template <typename Entry, std::size_t N>
const Entry* findCode(const Entry (&table)[N], std::uint16_t code) {
    const auto it = std::find_if(std::begin(table), std::end(table),
                                 [code](const Entry& e) { return e.code == code; });
    return it == std::end(table) ? nullptr : it;
}

template <std::size_t N>
bool contains(const std::uint16_t (&codes)[N], std::uint16_t code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

std::string_view variantName(const TClassName& entry, std::uint16_t print) {
    if (entry.wlanName.empty())
        return entry.name;
    if (contains(cWLAN_PRINTS, print))
        return entry.wlanName;
    if (contains(cBLE_PRINTS, print))
        return entry.bleName;
    return entry.name;
}

std::string nameOf(const TCodeName* entry) {
    return std::string(entry ? entry->name : cUNKNOWN);
}

}  // namespace

std::string classToStr(std::uint16_t cls, std::uint16_t print) {
    const TClassName* entry = findCode(cCLASS_NAMES, cls);
    return std::string(entry ? variantName(*entry, print) : cUNKNOWN);
}

std::string platformToStr(std::uint16_t platform) {
    return nameOf(findCode(cPLATFORM_NAMES, platform));
}

std::string printToStr(std::uint16_t print) {
    return nameOf(findCode(cPRINT_NAMES, print));
}

std::uint16_t checkClass(std::uint16_t cls) {
    return classToStr(cls, cCODE_NONE) == cUNKNOWN ? cCODE_NONE : cls;
}

std::uint16_t checkPlatform(std::uint16_t platform) {
    return platformToStr(platform) == cUNKNOWN ? cCODE_NONE : platform;
}

std::uint16_t checkPrint(std::uint16_t print) {
    return printToStr(print) == cUNKNOWN ? cCODE_NONE : print;
}

std::uint32_t getUpidAddress(std::uint16_t platform) {
    const TUpidAddress* entry = findCode(cUPID_ADDRESSES, platform);
    return entry ? entry->address : 0;
}

}  // namespace pelion
