#include "softhsmhome.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "subprocess.h"

namespace {

// mkdir with mode 0700; an existing folder is kept as it is.
void makePrivateFolder(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "cannot create " + folder.string());
}

}  // namespace

SoftHSMHome::SoftHSMHome(std::filesystem::path folder) : folder_(std::filesystem::absolute(folder)) {}

void SoftHSMHome::prepare() const {
    std::filesystem::create_directories(folder_.parent_path());
    makePrivateFolder(folder_);
    makePrivateFolder(tokenFolder());

    std::ofstream conf(confPath(), std::ios::trunc);
    conf << "# SoftHSM2 settings for the tokens in this folder.\n"
         << "directories.tokendir = " << tokenFolder().string() << "\n"
         << "objectstore.backend = file\n"
         << "log.level = ERROR\n"
         << "slots.removable = false\n";
    conf.close();
    if (!conf) throw std::runtime_error("cannot write " + confPath().string());
}

bool SoftHSMHome::hasToken() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(tokenFolder(), error))
        if (std::filesystem::exists(entry.path() / "token.object")) return true;
    return false;
}

void SoftHSMHome::initToken(const std::string& label, const std::string& soPin, const std::string& userPin) const {
    int status = Subprocess({"softhsm2-util", "--init-token", "--free", "--label", label, "--so-pin", soPin, "--pin",
                             userPin})
                     .environment("SOFTHSM2_CONF", confPath().string())
                     .standardOutput("/dev/null")
                     .run();
    if (status != 0)
        throw std::runtime_error("softhsm2-util --init-token failed with exit status " + std::to_string(status));
}
