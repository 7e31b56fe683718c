// posix_spawn without a shell, the command templates and the encoding of
// message addresses.
#include "phone/process.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace telvara::phone {
namespace {

int wait_status(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

std::optional<int> spawn(const Argv& argv, SpawnWait wait, std::function<void(int)> on_exit);

} // namespace

std::optional<int> spawn_program(const Argv& argv, SpawnWait wait) {
    return spawn(argv, wait, {});
}

std::optional<int> spawn_program(const Argv& argv, std::function<void(int status)> on_exit) {
    return spawn(argv, SpawnWait::detach, std::move(on_exit));
}

namespace {

std::optional<int> spawn(const Argv& argv, SpawnWait wait, std::function<void(int)> on_exit) {
    if (argv.empty() || argv.front().empty())
        return std::nullopt;
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& word : argv) {
        // A NUL would silently cut the argument short.
        if (word.find('\0') != std::string::npos)
            return std::nullopt;
        pointers.push_back(const_cast<char*>(word.c_str()));
    }
    pointers.push_back(nullptr);

    // The child starts with the default signal handling and an empty mask,
    // whatever this process changed for itself.
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return std::nullopt;
    sigset_t empty;
    sigset_t defaults;
    sigemptyset(&empty);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigmask(&attributes, &empty);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const bool search = argv.front().find('/') == std::string::npos;
    const int error =
        search ? ::posix_spawnp(&pid, pointers[0], nullptr, &attributes, pointers.data(), environ)
               : ::posix_spawn(&pid, pointers[0], nullptr, &attributes, pointers.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return std::nullopt;
    if (wait == SpawnWait::for_exit)
        return wait_status(pid);
    // Nobody waits for a started program; reap it so that it leaves no
    // zombie behind.
    std::thread([pid, on_exit = std::move(on_exit)] {
        const int status = wait_status(pid);
        if (on_exit)
            on_exit(status);
    }).detach();
    return 0;
}

} // namespace

Argv split_command(std::string_view command) {
    Argv words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (in_word)
                words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word.push_back(c);
            in_word = true;
        }
    }
    if (in_word)
        words.push_back(std::move(word));
    return words;
}

Argv fill_command(const Argv& words, const std::vector<std::pair<char, std::string>>& values,
                  char append_key) {
    Argv out;
    out.reserve(words.size() + 1);
    bool appended_key_used = false;
    for (const std::string& word : words) {
        std::string filled;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                filled.push_back(word[i]);
                continue;
            }
            const char key = word[i + 1];
            if (key == '%') {
                filled.push_back('%');
                ++i;
                continue;
            }
            bool known = false;
            for (const auto& [name, value] : values) {
                if (name == key) {
                    filled += value;
                    known = true;
                    appended_key_used |= key == append_key;
                    break;
                }
            }
            if (known)
                ++i;
            else
                filled.push_back('%');
        }
        out.push_back(std::move(filled));
    }
    if (!appended_key_used) {
        for (const auto& [name, value] : values)
            if (name == append_key)
                out.push_back(value);
    }
    return out;
}

WString describe_command(const Argv& argv) {
    WString out;
    for (const std::string& word : argv) {
        if (!out.empty())
            out += u' ';
        out += u'"';
        out += from_utf8(word);
        out += u'"';
    }
    return out;
}

std::string percent_encode(std::string_view text, std::string_view keep) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool unreserved = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                                (u >= '0' && u <= '9') || u == '-' || u == '.' || u == '_' ||
                                u == '~';
        if (unreserved || (u != 0 && keep.find(c) != std::string_view::npos)) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(hex[u >> 4]);
            out.push_back(hex[u & 15]);
        }
    }
    return out;
}

} // namespace telvara::phone
