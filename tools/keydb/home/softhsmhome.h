// A private SoftHSM2 home: one folder holding a SoftHSM2 configuration file
// and the token folder it names. Pointing SOFTHSM2_CONF at confPath() makes
// SoftHSM2 see only the tokens of this home.
#ifndef KEYDB_SOFTHSMHOME_H
#define KEYDB_SOFTHSMHOME_H

#include <filesystem>
#include <string>

class SoftHSMHome {
public:
    // Where Debian installs the SoftHSM2 Cryptoki library.
    static constexpr const char* libraryPath = SOFTHSM2_LIBRARY;

    explicit SoftHSMHome(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path confPath() const { return folder_ / "softhsm2.conf"; }
    std::filesystem::path tokenFolder() const { return folder_ / "tokens"; }

    // Creates the folder and the token folder (mode 0700 whatever the umask,
    // parents as needed) and writes the configuration file (mode 0600) when
    // it does not hold these settings yet, replacing it in one step.
    void prepare() const;
    // Whether SoftHSM2 has initialised a token in this home.
    bool hasToken() const;
    // Deletes every token of this home.
    void removeTokens() const;
    // Initialises a token in the first free slot with softhsm2-util.
    void initToken(const std::string& label, const std::string& soPin, const std::string& userPin) const;

private:
    std::filesystem::path folder_;
};

#endif
