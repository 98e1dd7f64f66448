// Reading a login file of GNU parallel's form, and the connection each login's sessions share.

#include "segments/host_logins.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/scoped_env.h"
#include "util/av_error.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using segments::HostLogins;

TEST(HostLogins, EachLoginKeepsItsSlotsAndCommandAndSshCommandsShareAConnection) {
    TempFolder folder;
    std::ofstream(folder / "logins") << "# the studio\n"
                                     << "\n"
                                     << "4/alice@studio-pc\n"
                                     << "  @fast/2/ssh -p 2222 alice@laptop.local  \n"
                                     << "/usr/local/bin/my-ssh bob@nas\n"
                                     << ":\n"
                                     << "ssh -o connecttimeout=60 carol@far.away\n";
    ScopedEnv ssh("PARALLEL_SSH", std::nullopt);
    std::string written;
    std::string file;
    std::string socket;
    {
        const HostLogins logins(folder / "logins", true);
        const auto& all = logins.Logins();
        ASSERT_EQ(all.size(), 5u);
        EXPECT_EQ(all[0].prefix, "4/");
        EXPECT_EQ(all[0].host, "alice@studio-pc");
        EXPECT_EQ(all[1].prefix, "@fast/2/");
        EXPECT_EQ(all[1].host, "alice@laptop.local");
        EXPECT_EQ(HostLogins::Name(all[1].command + " " + all[1].host),
                  "alice@laptop.local (port 2222)");
        // Only ssh itself is given a shared connection; another command is left as written.
        EXPECT_NE(all[0].command.find("ssh -o ControlMaster=auto -o ControlPath="),
                  std::string::npos);
        EXPECT_NE(all[1].command.find(" -p 2222"), std::string::npos);
        EXPECT_EQ(all[2].command, "/usr/local/bin/my-ssh");
        // A computer that never answers is given up after a while, unless the login says when.
        EXPECT_NE(all[1].command.find("-o ConnectTimeout=10 "), std::string::npos);
        EXPECT_EQ(all[4].command.find("ConnectTimeout"), std::string::npos);
        EXPECT_TRUE(all[3].Here());
        EXPECT_TRUE(all[2].socket.empty());
        EXPECT_NE(all[0].socket, all[1].socket);
        EXPECT_FALSE(logins.Connected());  // nothing logged in yet
        // The sockets sit in a folder only this user can enter.
        const fs::perms access = fs::status(fs::path(all[0].socket).parent_path()).permissions();
        EXPECT_EQ(access & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
        file = logins.File();
        socket = all[0].socket;
        std::ifstream in(file);
        written = std::string(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(written.substr(0, 6), "4/ssh ");
    EXPECT_NE(written.find("\n@fast/2/ssh -o ControlMaster=auto"), std::string::npos);
    EXPECT_NE(written.find("\n/usr/local/bin/my-ssh bob@nas\n:\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(file)) << "the run's login file outlived it";
    // The next run to the same computer finds the same connection.
    EXPECT_EQ(HostLogins(folder / "logins", true).Logins()[0].socket, socket);

    EXPECT_THROW(HostLogins(folder / "missing", true), EAVError);
    // A file with nothing but comments: the message names it, not the run's own copy.
    std::ofstream(folder / "away") << "# everyone is on holiday\n\n";
    try {
        HostLogins(folder / "away", true);
        ADD_FAILURE() << "a list without computers was taken";
    } catch (const EAVError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The list of computers " + std::string(folder / "away") + " names no computer");
    }
}

}  // namespace
}  // namespace tw::test
