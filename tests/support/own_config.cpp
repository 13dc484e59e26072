// Every test process gets a configuration directory of its own: HOME and
// XDG_CONFIG_HOME point to a fresh empty directory before any test runs, so
// no test reads or writes the user's parameter file. The directory goes
// when the process ends. Programs the tests start inherit it.

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct OwnConfigDirectory {
    OwnConfigDirectory() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/wegmate-test-home-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
        setenv("HOME", path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (path + "/.config").c_str(), 1);
    }
    ~OwnConfigDirectory() {
        // Only the process that made it removes it (not a forked child).
        if (getpid() == owner) std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string path;
    pid_t owner = getpid();
};

const OwnConfigDirectory ownConfigDirectory;

}  // namespace
