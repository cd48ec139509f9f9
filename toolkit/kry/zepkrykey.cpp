#include "kry/zepkrykey.h"

ZEPKRYKey::ZEPKRYKey(int type, int algorithm, int format, const ZEPBuffer& keyBlob)
    : type_(type), algorithm_(algorithm), format_(format), keyBlob_(keyBlob) {}
