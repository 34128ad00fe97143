// Programs run as a user runs them: shell lines in a folder, what they
// printed on standard error and what they left behind.
#pragma once

#include <set>
#include <string>

struct Ran {
    int status;  // exit status, or -1 when the shell did not exit normally
    std::string err;
};

// Runs shell `lines` in `dir` with untranslated messages, keeping standard error.
Ran run_shell(const std::string& dir, const std::string& lines);
// A fresh, empty folder under the test's temporary folder, named after `name` and this process.
std::string fresh_folder(const std::string& name);
// Every path under `dir`, relative to it.
std::set<std::string> tree(const std::string& dir);
// A whole file's bytes; empty when there is none.
std::string contents(const std::string& path);
