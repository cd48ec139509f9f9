// The root of toolkit objects that are handed around as untyped pointers and
// identified by class name.
#ifndef MERVIL_ZEPOBJECT_H
#define MERVIL_ZEPOBJECT_H

#include "zepstring.h"

class ZEPObject {
public:
    // First virtual operation: receivers of an untyped pointer ask it first.
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ~ZEPObject() = default;

    static ZEPString getClassName() { return "ZEPObject"; }
};

// The connection parameters a host hands to a PKCS#11 module's factory.
class ZEPPKCS11ConnectInfo : public ZEPObject {
public:
    explicit ZEPPKCS11ConnectInfo(const ZEPString& dllName) : dllName_(dllName) {}

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override { return getClassName(); }
    static ZEPString getClassName() { return "ZEPPKCS11ConnectInfo"; }

    // The Cryptoki library to load, as the host named it.
    const char* getDLLName() const { return dllName_.c_str(); }

private:
    ZEPString dllName_;
};

#endif
