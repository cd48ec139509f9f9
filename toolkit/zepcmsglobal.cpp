#include "zepcmsglobal.h"

#include <atomic>

namespace {
constinit std::atomic<int> live{0};
}

ZEPCMSGlobal::ZEPCMSGlobal() { ++live; }

ZEPCMSGlobal::~ZEPCMSGlobal() { --live; }

int ZEPCMSGlobal::liveCount() { return live; }
