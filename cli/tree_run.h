// quillet-cli --tree: a whole folder tree mirrored into a destination folder,
// every file converted (or copied) as a copy run converts it.
#pragma once

namespace quillet {

// True when the arguments name a tree run (--tree before any "--").
bool names_a_tree(int argc, wchar_t** argv);

// The tree run, from its arguments to its exit status: usage errors (2)
// before anything is written, then the walk, one copy run per folder (or only
// the status lines, with --status), and a summary line on standard error.
int run_tree(int argc, wchar_t** argv);

}  // namespace quillet
