#pragma once
#include <string>
#include <vector>

// Where the HTML help starts: the installed copy
// (<datadir>/nocteris/help/index.html), else the copy installed beside the
// program (<prefix>/share/nocteris/help/index.html, for a relocated install),
// else the copy in the source tree, so a program run from its build folder
// finds its help too. Empty when none of them exists.
std::string help_index_path();

// The first of `candidates` that is an existing regular file; empty when none is.
std::string first_existing_file(const std::vector<std::string>& candidates);
