#pragma once
// The operators a server accepts (--credentials FILE): for each, a salted
// slow hash of their secret (PasswordHash) and the branches they may read and
// change. One operator a line, fields apart by blanks; '#' starts a comment:
//
//   # NAME   HASH                                  BRANCHES
//   maria    $scrypt$ln=15,r=8,p=1$...$...          0001,0002
//   joao     $scrypt$ln=15,r=8,p=1$...$...          *
//
// NAME is 1 to 64 letters, digits, '.', '_', '-' or '@'; BRANCHES is '*' (all)
// alone, or branch codes of 1 to 4 characters other than '*' apart by commas.
// `appserver passwd` prints such a line.
//
// Failure behaviour: Load and Parse throw EInvalidOperation naming the file
// and the line for a line that breaks these rules, a name given twice, a file
// without an operator, or (Load) a file that is not a regular file (a FIFO
// would hang the reader) or that others than its owner may read or change;
// Line throws EInvalidOperation for a bad name or branch list.
#include "server/Caller.h"

#include <map>
#include <memory>
#include <set>
#include <string>

class Credentials {
public:
    struct Entry {
        std::string hash;
        bool allBranches = false;
        std::set<std::string> branches;
    };

    static std::shared_ptr<const Credentials> Load(const std::string& path);
    static Credentials Parse(const std::string& text, const std::string& file);
    // A line of the file for name, its secret hashed anew.
    static std::string Line(const std::string& name, const std::string& secret, const std::string& branches);

    // The operator's entry when secret is theirs, nullptr otherwise; an
    // unknown name costs the same time as a known one.
    const Entry* Verify(const std::string& name, const std::string& secret) const;
    size_t Size() const { return entries_.size(); }
    // Whether name has entry's secret and branches here.
    bool Holds(const std::string& name, const Entry& entry) const;

private:
    std::map<std::string, Entry> entries_;
};
