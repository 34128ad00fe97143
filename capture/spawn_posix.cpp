// Child programs on POSIX systems: posix_spawn with its input on a pipe, its
// output in an unlinked temporary file, and waitpid for how it ended.
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX signal sets and sigaction
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "capture/spawn.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): unistd.h declares it only in GNU mode

namespace {

// The last non-empty line the child printed, without its newline.
void last_line(std::FILE* messages, Text& line) {
    line.text[0] = '\0';
    if (!messages || std::fflush(messages) != 0) return;
    Text tail;
    static_cast<void>(std::fseek(messages, 0, SEEK_END));
    const long size = std::ftell(messages);
    static_cast<void>(std::fseek(messages, size >= text_size ? size - (text_size - 1) : 0, SEEK_SET));
    size_t length = std::fread(tail.text, 1, text_size - 1, messages);
    while (length > 0 && std::strchr("\n\r ", tail.text[length - 1])) --length;
    tail.text[length] = '\0';
    const char* start = std::strrchr(tail.text, '\n');
    format(line, "%s", start ? start + 1 : tail.text);
}

}  // namespace

bool find_program(const char* name, Text& path) {
    const char* search = std::getenv("PATH");
    if (!search) search = "/usr/local/bin:/usr/bin:/bin";
    for (const char* entry = search;;) {
        const char* end = std::strchr(entry, ':');
        const int length = static_cast<int>(end ? end - entry : std::strlen(entry));
        // An empty entry is the current folder.
        const bool fits = length == 0 ? format(path, "./%s", name) : format(path, "%.*s/%s", length, entry, name);
        struct stat info;
        if (fits && stat(path.text, &info) == 0 && S_ISREG(info.st_mode) && access(path.text, X_OK) == 0) return true;
        if (!end) return false;
        entry = end + 1;
    }
}

bool child_start(Child& child, const char* program, const char* const* argv, Text& why) {
    // Ignored here, so that a vanished child shows as EPIPE on the next write.
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    child = Child{-1, -1, std::tmpfile()};
    int ends[2];
    if (!child.messages || pipe2(ends, O_CLOEXEC) != 0) {
        format(why, "cannot start %s: %s", argv[0], std::strerror(errno));
        if (child.messages) static_cast<void>(std::fclose(child.messages));  // only read
        child.messages = nullptr;
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(child.messages), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(child.messages), STDERR_FILENO);
    // The child gets the default SIGPIPE back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t id = -1;
    const int spawned = posix_spawn(&id, program, &actions, &attributes, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (spawned != 0) {
        close(ends[1]);
        static_cast<void>(std::fclose(child.messages));  // only read
        child.messages = nullptr;
        return refuse(why, "cannot start %s: %s", program, std::strerror(spawned));
    }
    child.id = id;
    child.input = ends[1];
    return true;
}

int child_write(Child& child, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(child.input, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

bool child_wait(Child& child, const char* name, Text& why) {
    if (child.input >= 0) close(child.input);
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child.id, &status, 0);
    } while (waited < 0 && errno == EINTR);
    const int error = errno;
    Text line;
    last_line(child.messages, line);
    if (child.messages) static_cast<void>(std::fclose(child.messages));  // only read
    child = Child{-1, -1, nullptr};
    if (waited < 0) {
        format(why, "waiting for %s: %s", name, std::strerror(error));
    } else if (WIFSIGNALED(status)) {
        format(why, "%s was killed by signal %d (%s)", name, WTERMSIG(status), strsignal(WTERMSIG(status)));
    } else if (WEXITSTATUS(status) != 0) {
        format(why, "%s exited with status %d%s%s", name, WEXITSTATUS(status), line.text[0] ? ": " : "", line.text);
    }
    return waited >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const char* child_unavailable() { return nullptr; }
