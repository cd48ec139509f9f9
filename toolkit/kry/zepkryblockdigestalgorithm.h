// The toolkit's own digests (ZEPMD5, ZEPSHA1 and the SHA-2 digests) behind
// the digest algorithm interface, as the toolkit's algorithm factory hands them out.
#ifndef MERVIL_ZEPKRYBLOCKDIGESTALGORITHM_H
#define MERVIL_ZEPKRYBLOCKDIGESTALGORITHM_H

#include "kry/zepkrydigestalgorithm.h"
#include "kry/zepmd5.h"
#include "kry/zepsha1.h"
#include "kry/zepsha224.h"
#include "kry/zepsha384.h"

template <typename Digest>
class ZEPKRYBlockDigestAlgorithm : public ZEPKRYDigestAlgorithm {
public:
    bool isKindOf(const ZEPString& className) const override {
        return className.compare(getClassName()) == 0 || ZEPKRYDigestAlgorithm::isKindOf(className);
    }
    ZEPString getInstanceName() const override { return getClassName(); }

    ZEPBuffer digestData(const r_buffer_t& data) override {
        Digest digest;
        digest.update(data.data, data.len);
        return digest.final();
    }
    void digestDataInit() override { message_ = Digest(); }
    void digestDataUpdate(const r_buffer_t& data) override { message_.update(data.data, data.len); }
    // The digest ends the message; the next one starts empty.
    ZEPBuffer digestDataFinal() override { return message_.final(); }

    // "ZEPKRYSHA1DigestAlgorithm", "ZEPKRYMD5DigestAlgorithm",
    // "ZEPKRYSHA256DigestAlgorithm" and so on.
    static ZEPString getClassName();

private:
    Digest message_;
};

template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA1>::getClassName();
template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPMD5>::getClassName();
template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA224>::getClassName();
template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA256>::getClassName();
template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA384>::getClassName();
template <>
ZEPString ZEPKRYBlockDigestAlgorithm<ZEPSHA512>::getClassName();

extern template class ZEPKRYBlockDigestAlgorithm<ZEPSHA1>;
extern template class ZEPKRYBlockDigestAlgorithm<ZEPMD5>;
extern template class ZEPKRYBlockDigestAlgorithm<ZEPSHA224>;
extern template class ZEPKRYBlockDigestAlgorithm<ZEPSHA256>;
extern template class ZEPKRYBlockDigestAlgorithm<ZEPSHA384>;
extern template class ZEPKRYBlockDigestAlgorithm<ZEPSHA512>;

using ZEPKRYSHA1DigestAlgorithm = ZEPKRYBlockDigestAlgorithm<ZEPSHA1>;
using ZEPKRYMD5DigestAlgorithm = ZEPKRYBlockDigestAlgorithm<ZEPMD5>;
using ZEPKRYSHA224DigestAlgorithm = ZEPKRYBlockDigestAlgorithm<ZEPSHA224>;
using ZEPKRYSHA256DigestAlgorithm = ZEPKRYBlockDigestAlgorithm<ZEPSHA256>;
using ZEPKRYSHA384DigestAlgorithm = ZEPKRYBlockDigestAlgorithm<ZEPSHA384>;
using ZEPKRYSHA512DigestAlgorithm = ZEPKRYBlockDigestAlgorithm<ZEPSHA512>;

#endif
