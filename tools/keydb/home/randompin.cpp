#include "home/randompin.h"

#include <fstream>
#include <stdexcept>

ZEPBuffer randomPin(std::size_t digits) {
    std::ifstream urandom;
    // Unbuffered: no stream buffer keeps the bytes the digits came from.
    urandom.rdbuf()->pubsetbuf(nullptr, 0);
    urandom.open("/dev/urandom", std::ios::binary);
    ZEPBuffer pin;
    char byte = 0;
    while (pin.getLength() < digits && urandom.get(byte)) {
        // 250 is the largest multiple of 10 in a byte: rejecting the rest
        // keeps every digit equally likely.
        auto value = static_cast<unsigned char>(byte);
        if (value < 250) {
            const char digit = static_cast<char>('0' + value % 10);
            pin.append(1, &digit);
        }
    }
    zep_wipe(&byte, sizeof byte);
    if (pin.getLength() < digits) throw std::runtime_error("cannot read /dev/urandom");
    return pin;
}
