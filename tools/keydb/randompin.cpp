#include "randompin.h"

#include <fstream>
#include <stdexcept>

std::string randomPin(std::size_t digits) {
    std::ifstream urandom("/dev/urandom", std::ios::binary);
    std::string pin;
    char byte = 0;
    while (pin.size() < digits && urandom.get(byte)) {
        // 250 is the largest multiple of 10 in a byte: rejecting the rest
        // keeps every digit equally likely.
        auto value = static_cast<unsigned char>(byte);
        if (value < 250) pin += static_cast<char>('0' + value % 10);
    }
    if (pin.size() < digits) throw std::runtime_error("cannot read /dev/urandom");
    return pin;
}
