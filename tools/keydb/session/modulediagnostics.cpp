#include "session/modulediagnostics.h"

#include <iostream>
#include <stdexcept>

#include "io/output.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

template <typename Character, std::size_t size>
std::string text(const Character (&field)[size]) {
    return withoutPadding(std::string_view(reinterpret_cast<const char*>(field), size));
}

// Throws what the module reported when `result` says it failed.
void check(int result, const p11_status& status) {
    if (result == 0) return;
    if (status.code == 0) throw std::runtime_error(status.message);
    if (status.hasReturnValue)
        throw ZEPPKCS11Exception(ZEP_HERE, status.code, status.message, status.returnValue);
    throw ZEPPKCS11Exception(ZEP_HERE, status.code, status.message);
}

ZEPBuffer buffer(const unsigned char* bytes, CK_ULONG length) { return ZEPBuffer(length, bytes); }

// Collects the objects p11_listObjects visits. Nothing may be thrown back
// into the module: a failure is kept and thrown afterwards.
struct ObjectCollector {
    std::vector<TokenObject> objects;
    std::exception_ptr failure;

    static void visit(const p11_object* object, void* context) {
        auto& self = *static_cast<ObjectCollector*>(context);
        try {
            self.objects.push_back({object->handle, object->objectClass, object->keyType,
                                    buffer(object->label, object->labelLength), buffer(object->id, object->idLength),
                                    buffer(object->value, object->valueLength),
                                    buffer(object->modulus, object->modulusLength),
                                    buffer(object->ecPoint, object->ecPointLength),
                                    buffer(object->subject, object->subjectLength),
                                    object->damage ? object->damage : ""});
        } catch (...) {
            if (!self.failure) self.failure = std::current_exception();
        }
    }
};

template <typename Function>
Function exported(const LoadedLibrary& module, const char* name) {
    return reinterpret_cast<Function>(module.symbol(name));
}

}  // namespace

std::string SlotInfo::description() const { return text(slot.slotDescription); }
std::string SlotInfo::tokenLabel() const { return text(token.label); }
std::string SlotInfo::serialNumber() const { return text(token.serialNumber); }

ModuleDiagnostics::ModuleDiagnostics(const LoadedLibrary& module)
    : getSlotAndTokenInfo_(exported<p11_getSlotAndTokenInfo_t>(module, "p11_getSlotAndTokenInfo")),
      dumpMechanisms_(exported<p11_dumpMechanisms_t>(module, "p11_dumpMechanisms")),
      listObjects_(exported<p11_listObjects_t>(module, "p11_listObjects")),
      destroyObject_(exported<p11_destroyObject_t>(module, "p11_destroyObject")),
      setObjectLabel_(exported<p11_setObjectLabel_t>(module, "p11_setObjectLabel")) {}

SlotInfo ModuleDiagnostics::slotInfo(ZEPPKCS11Manager& manager, CK_SLOT_ID slot) const {
    SlotInfo info;
    info.id = slot;
    p11_status status{};
    check(getSlotAndTokenInfo_(&manager, slot, &info.slot, &info.token, &status), status);
    return info;
}

void ModuleDiagnostics::dumpMechanisms(ZEPSlotManager& slotManager) const {
    // The module writes to the same standard output as keydb.
    std::cout.flush();
    p11_status status{};
    check(dumpMechanisms_(&slotManager, &status), status);
}

std::vector<TokenObject> ModuleDiagnostics::listObjects(ZEPSlotManager& slotManager) const {
    ObjectCollector collector;
    p11_status status{};
    check(listObjects_(&slotManager, &ObjectCollector::visit, &collector, &status), status);
    if (collector.failure) std::rethrow_exception(collector.failure);
    return std::move(collector.objects);
}

void ModuleDiagnostics::destroyObject(ZEPSlotManager& slotManager, CK_OBJECT_HANDLE object) const {
    p11_status status{};
    check(destroyObject_(&slotManager, object, &status), status);
}

void ModuleDiagnostics::setObjectLabel(ZEPSlotManager& slotManager, CK_OBJECT_HANDLE object,
                                       const ZEPBuffer& label) const {
    p11_status status{};
    check(setObjectLabel_(&slotManager, object, label.getValue(), static_cast<CK_ULONG>(label.getLength()), &status),
          status);
}
