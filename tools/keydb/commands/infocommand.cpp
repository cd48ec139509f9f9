#include "commands/infocommand.h"

#include <iostream>
#include <vector>

#include "choice/pkcs11uri.h"
#include "session/modulesession.h"
#include "io/output.h"

InfoCommand::InfoCommand(CLI::App& app)
    : Command(app, "info", "Show a Cryptoki library's description, versions and slots"), library_(options()) {
    options().add_flag("--json", json_, "Print one JSON object");
}

void InfoCommand::run() {
    Output output(Output::formatFor(json_));
    ChosenLibrary library =
        library_.resolve(output.format(), LibraryChoice::Access::read, LibraryChoice::Need::library);
    ModuleSession session(library.path);
    session.run([&] {
        ZEPPKCS11Manager& manager = session.manager();
        std::vector<CK_SLOT_ID> slots;
        manager.getSlotIds(slots);

        output.field("Library", "library", manager.getDllName().str());
        output.field("Description", "description", withoutPadding(manager.getLibraryDescription().view()));
        output.field("Manufacturer", "manufacturer", withoutPadding(manager.getManufacturer().view()));
        output.field("Version", "version", manager.getVersion().str());
        output.field("Slots", "slots", slots);
        std::vector<std::string> uris;
        for (const SlotInfo& info : session.slots())
            if (info.tokenPresent()) uris.push_back(Pkcs11Uri::ofToken(info.token).format());
        output.field("Token URIs", "uri", uris);
    });
    output.print(std::cout);
}
