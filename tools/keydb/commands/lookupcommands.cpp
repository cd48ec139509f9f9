#include "commands/lookupcommands.h"

#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/asn_string.h"
#include "asn/zeppem.h"
#include "io/itemdescription.h"
#include "choice/itemlookup.h"
#include "choice/keychoice.h"
#include "io/keyfacts.h"
#include "io/outputfile.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"

namespace {

std::runtime_error notFound(const std::string& what, const std::string& label) {
    return std::runtime_error("no " + what + " labelled \"" + label + "\"");
}

void addLabelOption(CLI::App& command, std::string& label) {
    command.add_option("--label", label, "The item's label")->required()->type_name("TEXT");
}

// A certificate of a key other than RSA counts as another object.
std::unique_ptr<ZEPCertItem> findCertificate(ZEPSlotManager& slot, const asn_object& value) {
    auto item = findItem<ZEPCertItem>(slot, ZEPSlotManager::CertUniqueIndex::LABEL, value);
    if (item && CertificateFacts::ofDER(item->getCertificateDER()).key.algorithm != "RSA") return nullptr;
    return item;
}

template <typename Item>
bool show(Output& output, const std::unique_ptr<Item>& item, const TokenObjects& objects) {
    if (item) describeItem(output, *item, objects);
    return item != nullptr;
}

bool showOther(Output& output, const TokenObjects& objects, const std::string& label) {
    auto labelled = objects.others([&](const TokenObject& object) { return labelText(object.label) == label; });
    if (!labelled.empty()) describeObject(output, labelled.front());
    return !labelled.empty();
}

}  // namespace

ShowCommand::ShowCommand(CLI::App& app) : DatabaseCommand(app, "show", "Show the item with a label") {
    addLabelOption(options(), label_);
    options().add_flag("--json", json_, "Print one JSON object");
}

void ShowCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    asn_UTF8String value = labelValue(label_);
    TokenObjects objects(diagnostics.listObjects(slot));
    Output output(format());
    bool found =
        show(output, findPrivateItem<ZEPKeyCertItem>(slot, ZEPSlotManager::KeyCertUniqueIndex::LABEL, value), objects) ||
        show(output, findCertificate(slot, value), objects) ||
        show(output, findItem<ZEPKeyItem>(slot, ZEPSlotManager::KeyUniqueIndex::LABEL, value), objects) ||
        show(output, findPrivateItem<ZEPKeyCertReqItem>(slot, ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, value),
             objects) ||
        showOther(output, objects, label_);
    if (!found) throw notFound("item", label_);
    output.print(std::cout);
}

ExportCertCommand::ExportCertCommand(CLI::App& app)
    : DatabaseCommand(app, "export-cert", "Write the certificate with a label, PEM by default") {
    addLabelOption(options(), label_);
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
    options().add_flag("--der", der_, "Write DER instead of PEM");
}

void ExportCertCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics&) {
    asn_UTF8String value = labelValue(label_);
    ZEPBuffer der;
    if (auto pair = findPrivateItem<ZEPKeyCertItem>(slot, ZEPSlotManager::KeyCertUniqueIndex::LABEL, value))
        der = pair->getCertificateDER();
    else if (auto certificate = findItem<ZEPCertItem>(slot, ZEPSlotManager::CertUniqueIndex::LABEL, value))
        der = certificate->getCertificateDER();
    else
        throw notFound("certificate", label_);

    std::string bytes = der_ ? std::string(reinterpret_cast<const char*>(der.getValue()), der.getLength())
                             : ZEPPEM::encode(der, ZEPPEM::LABEL_CERTIFICATE);
    writeOutputFile(out_, bytes);
}
