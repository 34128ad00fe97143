// Programs run through the shell, and the folders they leave.
#include "tests/programs.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

Ran run_shell(const std::string& dir, const std::string& lines) {
    const std::string err = dir + ".err";
    const int status = std::system(("cd '" + dir + "'\nexport LC_ALL=C\n" + lines + " 2>'" + err + "'").c_str());
    Ran ran{WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(err)};
    static_cast<void>(std::remove(err.c_str()));
    return ran;
}

std::string fresh_folder(const std::string& name) {
    std::string dir = testing::TempDir() + name + "_" + std::to_string(getpid());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::set<std::string> tree(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        names.insert(entry.path().lexically_relative(dir).string());  // a link by its own name, not followed
    }
    return names;
}

std::string contents(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}
