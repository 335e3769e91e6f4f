#include "app/safe_text.h"

namespace pelion {

namespace {

// The length of the valid UTF-8 sequence that starts `text`, 0 when it does not start one.
// Overlong forms, surrogates and code points above U+10FFFF are not valid.
std::size_t utf8SequenceLength(std::string_view text) {
    struct Lead {
        unsigned char first, last;  // range of the lead byte
        std::size_t length;
        unsigned char secondLow, secondHigh;  // range of the byte after it
    };
    static constexpr Lead cLEADS[] = {
        {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
        {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
        {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
    };
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (const Lead& lead : cLEADS) {
        if (byte(0) < lead.first || byte(0) > lead.last) {
            continue;
        }
        if (text.size() < lead.length || byte(1) < lead.secondLow || byte(1) > lead.secondHigh) {
            return 0;
        }
        for (std::size_t i = 2; i < lead.length; ++i) {
            if (byte(i) < 0x80 || byte(i) > 0xBF) {
                return 0;
            }
        }
        return lead.length;
    }
    return 0;
}

// U+0080 to U+009F: C2 80 to C2 9F. A terminal may take them as ESC [ and its kind.
bool isC1Control(std::string_view sequence) {
    return sequence.size() == 2 && static_cast<unsigned char>(sequence[0]) == 0xC2 &&
           static_cast<unsigned char>(sequence[1]) <= 0x9F;
}

void appendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char cDIGITS[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += "\\x";
        out += cDIGITS[b >> 4];
        out += cDIGITS[b & 0x0F];
    }
}

}  // namespace

std::string safeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto first = static_cast<unsigned char>(text[0]);
        std::size_t length = 1;
        if (first >= 0x20 && first < 0x7F) {
            out += text[0];
        } else if (first < 0x80) {
            appendEscaped(out, text.substr(0, 1));
        } else if (const std::size_t n = utf8SequenceLength(text); n == 0) {
            appendEscaped(out, text.substr(0, 1));
        } else {
            length = n;
            const std::string_view sequence = text.substr(0, n);
            if (isC1Control(sequence)) {
                appendEscaped(out, sequence);
            } else {
                out += sequence;
            }
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace pelion
