#include "tests/sim/sim_client.h"

#include <algorithm>

#include "link/crc.h"
#include "link/hex_record.h"

namespace pelion::sim::test {

Bytes commandFrame(std::uint8_t code, std::vector<std::uint8_t> params) {
    Bytes frame(8, 0);
    frame[0] = static_cast<std::uint8_t>(code | 0x80);
    std::copy_n(params.begin(), std::min<std::size_t>(params.size(), 6), frame.begin() + 1);
    frame[7] = calcCRC8(frame.data(), 7);
    return frame;
}

namespace {

std::string encode(std::uint16_t address, std::uint8_t type, const Bytes& data) {
    HexRecord[0] = static_cast<std::uint8_t>(data.size());
    HexRecord[1] = static_cast<std::uint8_t>(address >> 8);
    HexRecord[2] = static_cast<std::uint8_t>(address);
    HexRecord[3] = type;
    std::copy(data.begin(), data.end(), HexRecord.begin() + 4);
    recordToLine();
    return sHexLine;
}

}  // namespace

std::string lineCommand(std::uint8_t code, std::uint16_t address) {
    return encode(address, 5, {code});
}

std::string dataLine(std::uint16_t address, std::uint8_t fill) {
    return encode(address, 0, Bytes(64, fill));
}

SimClient::SimClient(const std::string& port) : port_(openComPort(port, 9600)) {}

SimClient::~SimClient() {
    close();
}

void SimClient::close() {
    if (port_ != cINVALID_PORT) {
        closeComPort(port_);
        port_ = cINVALID_PORT;
    }
}

void SimClient::send(const Bytes& bytes) {
    std::uint32_t written = 0;
    writeComPort(port_, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written);
}

void SimClient::send(const std::string& line) {
    send(Bytes(line.begin(), line.end()));
}

Bytes SimClient::read(std::uint32_t n) {
    Bytes answer(n);
    std::uint32_t received = 0;
    readComPort(port_, answer.data(), n, received);
    answer.resize(received);
    return answer;
}

Bytes SimClient::exchange(const Bytes& frame, std::uint32_t n) {
    purgeComPort(port_);
    send(frame);
    return read(n);
}

std::string SimClient::exchange(const std::string& line, std::uint32_t dataBytes) {
    const Bytes answer = exchange(Bytes(line.begin(), line.end()), 2 * dataBytes + 11);
    return std::string(answer.begin(), answer.end());
}

std::uint32_t SimClient::identity() {
    const Bytes answer = exchange(commandFrame(1));
    if (answer.size() != 8 || calcCRC8(answer.data(), 7) != answer[7]) {
        return 0xFFFFFFFF;
    }
    return std::uint32_t{answer[2]} << 24 | std::uint32_t{answer[3]} << 16 |
           std::uint32_t{answer[4]} << 8 | answer[5];
}

}  // namespace pelion::sim::test
