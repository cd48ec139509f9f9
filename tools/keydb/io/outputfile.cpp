#include "io/outputfile.h"

#include <fstream>
#include <iostream>
#include <stdexcept>

void writeOutputFile(const std::string& path, const std::string& bytes) {
    if (path.empty()) {
        std::cout << bytes << std::flush;
        return;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

void writeOutputFile(const std::string& path, const ZEPBuffer& bytes) {
    writeOutputFile(path, std::string(reinterpret_cast<const char*>(bytes.getValue()), bytes.getLength()));
}
