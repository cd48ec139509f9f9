// Small conversions shared by the toolkit and its modules.
#ifndef MERVIL_ZEPUTILITY_H
#define MERVIL_ZEPUTILITY_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPUtility {
public:
    // Two lower-case hexadecimal digits per byte, no separators.
    static ZEPString binaryToHexString(const ZEPBuffer& bytes);
};

#endif
