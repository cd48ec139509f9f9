#include "commands/lookupcommands.h"

#include <iostream>
#include <set>
#include <stdexcept>

#include "asn/zeppem.h"
#include "io/itemdescription.h"
#include "io/outputfile.h"
#include "keystore/zepcertitem.h"

namespace {

// The item's record: the key database's item, or the object itself.
void describe(Output& output, const TokenItem& item, const TokenObjects& objects, const Pkcs11Uri& token) {
    switch (item.kind) {
        case ItemKind::pair: return describeItem(output, *item.pair, objects, token);
        case ItemKind::request: return describeItem(output, *item.request, objects, token);
        case ItemKind::key:
            if (item.privateKey || item.publicKey)
                return describeItem(output, item.privateKey ? *item.privateKey : *item.publicKey, objects, token);
            break;
        case ItemKind::certificate:
            return describeItem(output, ZEPCertItem(item.objects.front().value, item.objects.front().label), objects,
                                token);
        case ItemKind::other: break;
    }
    describeObject(output, item.objects.front(), token);
    if (item.objects.size() < 2) return;
    std::set<std::string> types;
    for (const TokenObject& object : item.objects) types.insert(object.className());
    std::string text;
    for (const std::string& type : types) text += (text.empty() ? "" : ", ") + type;
    output.field("Objects", "objects", text);
}

}  // namespace

ShowCommand::ShowCommand(CLI::App& app)
    : DatabaseCommand(app, "show", "Show the item with a label or id"),
      item_(options(), uri(), KeyChoice::Scope::anyItem) {
    options().add_flag("--json", json_, "Print one JSON object");
}

void ShowCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const TokenItems items(slot, diagnostics);
    const TokenItem& item = item_.one(items, ItemKinds::any);
    Output output(format());
    describe(output, item, items.objects(), tokenUri());
    output.print(std::cout);
}

ExportCertCommand::ExportCertCommand(CLI::App& app)
    : DatabaseCommand(app, "export-cert", "Write the certificate with a label or id, PEM by default"),
      item_(options(), uri(), KeyChoice::Scope::anyItem) {
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
    options().add_flag("--der", der_, "Write DER instead of PEM");
}

void ExportCertCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const TokenItems items(slot, diagnostics);
    const TokenItem& item = item_.one(items, ItemKinds::certificates);
    const ZEPBuffer der = item.pair ? item.pair->getCertificateDER() : item.objects.front().value;

    std::string bytes = der_ ? std::string(reinterpret_cast<const char*>(der.getValue()), der.getLength())
                             : ZEPPEM::encode(der, ZEPPEM::LABEL_CERTIFICATE);
    writeOutputFile(out_, bytes);
}
