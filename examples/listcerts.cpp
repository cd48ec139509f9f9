// listcerts LIBRARY: loads the mervil7 module, connects it to the Cryptoki
// library LIBRARY through the toolkit's library manager and lists the
// certificates on every token, one line each: slot id, label and the size
// of the certificate's DER encoding.
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "keystore/zepcertitem.h"
#include "keystore/zepslotmanager.h"
#include "zepexception.h"
#include "zeplibrarymanager.h"
#include "zepobject.h"
#include "zeppkcs11manager.h"
#include "zepplatform.h"

namespace {

// The module, loaded while this object lives. Loading it registers its
// factory with the library manager.
class LoadedModule {
public:
    explicit LoadedModule(const char* path) {
        if (zep_load_library(path, handle_) != 0) throw std::runtime_error(std::string("cannot load ") + path);
    }
    ~LoadedModule() { zep_free_library(handle_); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

private:
    void* handle_ = nullptr;
};

// A label as text: the key database hands labels out as the DER of a
// UTF8String (tag 0x0C, here with a short length), other tokens' labels
// come as they are.
std::string labelText(const ZEPBuffer& label) {
    std::string bytes(reinterpret_cast<const char*>(label.getValue()), label.getLength());
    if (bytes.size() >= 2 && bytes[0] == 0x0C && static_cast<unsigned char>(bytes[1]) == bytes.size() - 2)
        return bytes.substr(2);
    return bytes;
}

void listCertificates(ZEPPKCS11Manager& manager) {
    std::vector<CK_SLOT_ID> slots;
    manager.getSlotIds(slots);
    for (CK_SLOT_ID slot : slots) {
        // A slot without a usable token (none, or one not initialised) is
        // reported and passed over.
        try {
            std::unique_ptr<ZEPSlotManager> database(manager.getSlotManager(slot, 0));
            std::unique_ptr<ZEPSlotManager::Iterator> iterator(database->getCertIterator());
            while (std::unique_ptr<ZEPCertItem> item{database->getNextCertItem(*iterator)})
                std::cout << slot << ' ' << labelText(item->getLabel()) << ' ' << item->getCertificateDER().getLength()
                          << " bytes\n";
        } catch (const ZEPException& failure) {
            std::cerr << "listcerts: slot " << slot << " passed over: " << failure.what() << '\n';
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: listcerts LIBRARY\n";
        return 2;
    }
    try {
        LoadedModule module(MERVIL7_MODULE);
        ZEPLibraryFunction factory = ZEPLibraryManager::findLibEntry("mervil7");
        if (!factory) throw std::runtime_error("the module registered no factory \"mervil7\"");
        ZEPPKCS11ConnectInfo connect(argv[1]);
        // The manager and any exception the module threw go before the
        // module is unloaded.
        try {
            std::unique_ptr<ZEPPKCS11Manager> manager(static_cast<ZEPPKCS11Manager*>(factory(&connect)));
            listCertificates(*manager);
        } catch (const ZEPException& failure) {
            throw std::runtime_error(failure.what());
        }
    } catch (const std::exception& failure) {
        std::cerr << "listcerts: " << failure.what() << '\n';
        return 1;
    }
    return 0;
}
