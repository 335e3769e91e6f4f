// The Windows program, pelion-update.exe, run under Wine in the prefix of this test run.
//
// A session has a wineserver of its own for as long as it lives: the registry keys a test
// writes hold for all of its runs (the serial device map is volatile, as on Windows, and goes
// with the server), and nothing is left running when the session ends. Without a display its
// programs have none; window programs need one.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/cli/child_process.h"

namespace pelion::test {

class WineSession {
public:
    // Starts the session's wineserver and Wine's own background programs, creating the prefix
    // first when it does not exist yet. `display` is the X display its windows go to.
    explicit WineSession(const std::string& display = "");
    // Ends every program of the session and its wineserver.
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    // Makes the COM name ("COM33") open the Unix device, as Wine maps ports: a link in the
    // prefix's dosdevices folder.
    void mapComPort(const std::string& comName, const std::string& device);
    bool comPortIsMapped(const std::string& comName) const;

    // Sets a variable of the environment of the programs started from now on (LANG, ...).
    void setEnvironment(const std::string& name, const std::string& value);

    // `wine reg ARGS...` (add, delete) on the session's registry; true when it succeeded.
    bool reg(const std::vector<std::string>& args);

    // pelion-update.exe with these arguments, started, standard input on /dev/null.
    std::unique_ptr<ChildProcess> startProgram(const std::vector<std::string>& args);
    // Any Windows program, by its Unix path.
    std::unique_ptr<ChildProcess> start(const std::string& program,
                                        const std::vector<std::string>& args);
    // Any Windows program run to its end, its output thrown away; its exit status.
    int runQuietly(const std::string& program, const std::vector<std::string>& args);

private:
    // The link in dosdevices, named in lower case as Wine names them ("com33").
    std::filesystem::path dosDevice(const std::string& comName) const;
    // Runs a command of the session with its output thrown away; its exit status.
    int runQuietly(const std::vector<std::string>& args);

    std::filesystem::path prefix_;
    std::map<std::string, std::string> env_;
};

}  // namespace pelion::test
