// The toolkit's global services object. Every module that uses the toolkit
// keeps one static instance for as long as it is loaded; the toolkit counts
// them, so hosts can tell whether a module's static state is alive.
#ifndef MERVIL_ZEPCMSGLOBAL_H
#define MERVIL_ZEPCMSGLOBAL_H

class ZEPCMSGlobal {
public:
    ZEPCMSGlobal();
    ~ZEPCMSGlobal();
    ZEPCMSGlobal(const ZEPCMSGlobal&) = delete;
    ZEPCMSGlobal& operator=(const ZEPCMSGlobal&) = delete;

    static int liveCount();
};

#endif
