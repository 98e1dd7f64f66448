#pragma once

// What the version checks of other computers found, kept between conversions: for each login,
// the identity of the tidewell-convert file it runs (device, inode, size, modification and
// change times) when that program had this program's version. A file whose identity is the same
// has the same contents, so the next check of that login looks at the file alone instead of
// starting the program (and loading all its libraries) once more for every conversion of a
// batch. Only compiled programs are remembered: a script may start another program, which can
// change while the script stays as it was.
//
// Kept in $XDG_CACHE_HOME/TidewellSoft/VideoConverter/checked-programs.json.

#include <map>
#include <string>

namespace tw::segments {

class CheckedPrograms {
public:
    // Reads what was kept for version (this program's); a missing or damaged file: nothing.
    explicit CheckedPrograms(std::string version);

    // The identity login's program had when found of this version; empty when unknown.
    std::string Identity(const std::string& login) const;
    void Remember(const std::string& login, const std::string& identity);
    // Writes what was remembered into the file as it is now (other conversions may have written
    // theirs meanwhile). A file that cannot be written only costs the next checks their start.
    void Save() const;

    // The shell command line that tells the version of the program a login runs: the identity
    // of its file first ("file IDENTITY"), then, unless that is known (an identity given by
    // Identity), what tidewell-convert --version says.
    static std::string CheckCommand(const std::string& known);
    // From what that command wrote: the version line (empty when there is none) and the file's
    // identity (empty when not told). known: the identity was the one known, and the program
    // was not started.
    struct Answer {
        std::string version;
        std::string identity;
        bool known = false;
    };
    static Answer Read(const std::string& output, const std::string& known);

private:
    std::string version_;
    std::map<std::string, std::string> known_;       // a login's digest: its program's identity
    std::map<std::string, std::string> remembered_;  // the same, found by this object
};

}  // namespace tw::segments
