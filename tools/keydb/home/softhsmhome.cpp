#include "home/softhsmhome.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "home/subprocess.h"
#include "io/replacementfile.h"

namespace {

std::system_error systemError(const std::string& what) {
    return std::system_error(errno, std::generic_category(), what);
}

// Creates the folder and its missing parents with mode 0700 whatever the
// umask; an existing folder is kept as it is.
void makePrivateFolder(const std::filesystem::path& folder) {
    if (folder.has_parent_path() && folder.parent_path() != folder && !std::filesystem::exists(folder.parent_path()))
        makePrivateFolder(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) == 0) {
        if (::chmod(folder.c_str(), 0700) != 0) throw systemError("cannot set the mode of " + folder.string());
    } else if (errno != EEXIST) {
        throw systemError("cannot create " + folder.string());
    }
}

std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

SoftHSMHome::SoftHSMHome(std::filesystem::path folder) : folder_(std::filesystem::absolute(folder)) {}

void SoftHSMHome::prepare() const {
    makePrivateFolder(folder_);
    makePrivateFolder(tokenFolder());
    std::string conf = "# SoftHSM2 settings for the tokens in this folder.\n"
                       "directories.tokendir = " + tokenFolder().string() + "\n"
                       "objectstore.backend = file\n"
                       "log.level = ERROR\n"
                       "slots.removable = false\n";
    if (fileText(confPath()) == conf) return;
    ReplacementFile file(confPath());
    file.write(conf.data(), conf.size());
    file.commit();
}

bool SoftHSMHome::hasToken() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(tokenFolder(), error))
        if (std::filesystem::exists(entry.path() / "token.object")) return true;
    return false;
}

void SoftHSMHome::removeTokens() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(tokenFolder(), error))
        std::filesystem::remove_all(entry.path(), error);
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
