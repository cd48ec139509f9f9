#include "lookupcommands.h"

#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/asn_string.h"
#include "asn/zeppem.h"
#include "itemdescription.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"

namespace {

// The lookup value of a label.
asn_UTF8String labelValue(const std::string& label) {
    asn_UTF8String value;
    if (value.set_text(label) != 0) throw std::runtime_error("the label is no UTF-8 text");
    return value;
}

std::runtime_error notFound(const std::string& what, const std::string& label) {
    return std::runtime_error("no " + what + " labelled \"" + label + "\"");
}

void addLabelOption(CLI::App& command, std::string& label) {
    command.add_option("--label", label, "The item's label")->required()->type_name("TEXT");
}

// Before login the pair and request lookups are refused: they concern
// private keys.
template <typename Item, typename Index>
std::unique_ptr<Item> findPrivate(ZEPSlotManager& slot, Index index, const asn_object& value) {
    if (slot.isLoginRequired()) return nullptr;
    return std::unique_ptr<Item>(slot.getItem(index, value));
}

template <typename Item>
bool show(Output& output, const std::unique_ptr<Item>& item) {
    if (item) describeItem(output, *item);
    return item != nullptr;
}

}  // namespace

ShowCommand::ShowCommand(CLI::App& app) : DatabaseCommand(app, "show", "Show the item with a label") {
    addLabelOption(options(), label_);
    options().add_flag("--json", json_, "Print one JSON object");
}

void ShowCommand::read(ZEPSlotManager& slot) {
    asn_UTF8String value = labelValue(label_);
    Output output(format());
    bool found =
        show(output, findPrivate<ZEPKeyCertItem>(slot, ZEPSlotManager::KeyCertUniqueIndex::LABEL, value)) ||
        show(output, std::unique_ptr<ZEPCertItem>(slot.getItem(ZEPSlotManager::CertUniqueIndex::LABEL, value))) ||
        show(output, std::unique_ptr<ZEPKeyItem>(slot.getItem(ZEPSlotManager::KeyUniqueIndex::LABEL, value))) ||
        show(output, findPrivate<ZEPKeyCertReqItem>(slot, ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, value));
    if (!found) throw notFound("item", label_);
    output.print(std::cout);
}

ExportCertCommand::ExportCertCommand(CLI::App& app)
    : DatabaseCommand(app, "export-cert", "Write the certificate with a label, PEM by default") {
    addLabelOption(options(), label_);
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
    options().add_flag("--der", der_, "Write DER instead of PEM");
}

void ExportCertCommand::read(ZEPSlotManager& slot) {
    asn_UTF8String value = labelValue(label_);
    ZEPBuffer der;
    if (auto pair = findPrivate<ZEPKeyCertItem>(slot, ZEPSlotManager::KeyCertUniqueIndex::LABEL, value))
        der = pair->getCertificateDER();
    else if (std::unique_ptr<ZEPCertItem> certificate{slot.getItem(ZEPSlotManager::CertUniqueIndex::LABEL, value)})
        der = certificate->getCertificateDER();
    else
        throw notFound("certificate", label_);

    std::string bytes = der_ ? std::string(reinterpret_cast<const char*>(der.getValue()), der.getLength())
                             : ZEPPEM::encode(der, ZEPPEM::LABEL_CERTIFICATE);
    if (out_.empty()) {
        std::cout << bytes << std::flush;
        return;
    }
    std::ofstream file(out_, std::ios::binary | std::ios::trunc);
    file << bytes;
    file.close();
    if (!file) throw std::runtime_error("cannot write " + out_);
}
