#include "keystore/zepcertitemcontainer.h"

template class ZEPItemContainer<ZEPCertItem>;
