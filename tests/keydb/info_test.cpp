// keydb info on a fresh SoftHSM2 token named with --library.
#include <nlohmann/json.hpp>
#include <regex>

#include "keydbtest.h"
#include "softhsmtoken.h"

namespace {

std::string firstMatch(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}

// Slot ids in pkcs11-tool -L output ("Slot 0 (0xf49c459): ...").
std::string slotIds(const std::string& listing) {
    std::string ids;
    std::regex slot(R"(Slot \d+ \((0x[0-9a-f]+)\))");
    for (auto it = std::sregex_iterator(listing.begin(), listing.end(), slot); it != std::sregex_iterator(); ++it)
        ids += (ids.empty() ? "" : " ") + std::to_string(std::stoul((*it)[1].str(), nullptr, 16));
    return ids;
}

class InfoTest : public KeydbTest {
protected:
    SoftHSMToken token_;
};

TEST_F(InfoTest, ReportsWhatPkcs11ToolReports) {
    ProgramResult info = keydb({"info", "--library", token_.libraryPath()});
    ASSERT_EQ(info.status, 0) << info.err;
    ProgramResult tool = pkcs11Tool({"-I"});
    ASSERT_EQ(tool.status, 0) << tool.err;
    ProgramResult slots = pkcs11Tool({"-L"});
    ASSERT_EQ(slots.status, 0) << slots.err;

    auto field = fields(info.out);
    EXPECT_EQ(field["Library"], token_.libraryPath());
    EXPECT_EQ(field["Manufacturer"], firstMatch(tool.out, R"(Manufacturer\s+(.*\S))"));
    EXPECT_EQ(field["Description"], firstMatch(tool.out, R"(Library\s+(.*\S) \(ver)"));
    EXPECT_EQ(field["Version"], "Cryptoki version: " + firstMatch(tool.out, R"(Cryptoki version (\S+))") +
                                    "  Library version: " + firstMatch(tool.out, R"(\(ver (\S+)\))"));
    // The initialised token and the fresh empty slot beside it.
    EXPECT_EQ(field["Slots"], slotIds(slots.out));
    EXPECT_NE(field["Slots"].find(' '), std::string::npos);
    EXPECT_EQ(info.err, "");
}

TEST_F(InfoTest, JsonCarriesTheTextFields) {
    ProgramResult text = keydb({"info", "--library", token_.libraryPath()});
    ProgramResult json = keydb({"info", "--json", "--library", token_.libraryPath()});
    ASSERT_EQ(json.status, 0) << json.err;

    auto field = fields(text.out);
    nlohmann::json object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["library"], field["Library"]);
    EXPECT_EQ(object["description"], field["Description"]);
    EXPECT_EQ(object["manufacturer"], field["Manufacturer"]);
    EXPECT_EQ(object["version"], field["Version"]);
    std::string slots;
    for (const auto& id : object["slots"]) slots += (slots.empty() ? "" : " ") + std::to_string(id.get<unsigned long>());
    EXPECT_EQ(slots, field["Slots"]);
    // Each token's URI as slots prints it, the fresh empty slot's included.
    std::string uris;
    for (const auto& slot : nlohmann::json::parse(keydb({"slots", "--json", "--library", token_.libraryPath()}).out))
        uris += (uris.empty() ? "" : " ") + slot["uri"].get<std::string>();
    EXPECT_EQ(field["Token URIs"], uris);
    EXPECT_EQ(object["uri"].size(), 2u);
    for (const auto& uri : object["uri"]) EXPECT_NE(uris.find(uri.get<std::string>()), std::string::npos) << uri;
}

TEST_F(InfoTest, NamedLibraryLeavesTheDefaultTokenAlone) {
    ProgramResult info = keydb({"info", "--library", token_.libraryPath()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(std::filesystem::is_empty(dataHome_.path()));
    EXPECT_EQ(info.out.find("Created token"), std::string::npos);
}

TEST_F(InfoTest, TraceGoesToStderrOnlyWhenAsked) {
    ProgramResult traced = keydb({"--trace", "info", "--library", token_.libraryPath()});
    ProgramResult quiet = keydb({"info", "--library", token_.libraryPath()});
    ASSERT_EQ(traced.status, 0) << traced.err;
    EXPECT_NE(traced.err.find("trace enter"), std::string::npos);
    EXPECT_NE(traced.err.find("getSlotIds"), std::string::npos);
    EXPECT_EQ(traced.out, quiet.out);
    EXPECT_EQ(quiet.err, "");
}

}  // namespace
