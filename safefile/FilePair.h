// Two files that must change together (a pair of lists that hold the same
// entries): replaced as one unit. Before either file changes, a journal file
// beside them takes both files' old contents (written whole and synced, as
// every file here is); then each file is replaced safely; then the journal
// goes. A save killed at any moment leaves a journal behind only while the
// files may differ from each other, and RecoverPair (at the next start, and
// before the next save) puts both old contents back and removes it: after it
// both files are old or both are new.
#pragma once

#include <string>

namespace safefile {

// Replaces the files paths[0] and paths[1] (either may not exist yet) with
// these contents as one unit, through the journal file `journal`. 0, or the
// error of the step that failed; then both files hold their old contents
// again (or, when even that failed, the journal stays for RecoverPair).
int ReplacePair(const std::string& journal, const std::string (&paths)[2], const std::string (&contents)[2]);

// Completes a pair save that was cut short: when the journal exists, both
// files get the contents it holds back (a file it records as missing is
// removed) and the journal is removed. 0 also when there is no journal; the
// error otherwise (EINVAL for a journal that is not one of ours, which is
// left as it is, like the files).
int RecoverPair(const std::string& journal, const std::string (&paths)[2]);

}  // namespace safefile
