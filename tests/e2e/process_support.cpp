// Spawning the binary for the end-to-end tests.
#include "process_support.h"

#include <png.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace telvara::e2e {

namespace fs = std::filesystem;

void TelvaraWorld::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "telvara-e2e-XXXXXX").string();
    m_dir = ::mkdtemp(pattern.data());
    m_root = m_dir / "root";
    m_run = m_dir / "run";
    fs::create_directories(m_root);
    fs::create_directories(m_run);
    ::chmod(m_run.c_str(), 0700);
}

void TelvaraWorld::TearDown() {
    std::error_code error;
    fs::remove_all(m_dir, error);
}

pid_t TelvaraWorld::start(const std::vector<std::string>& args, const std::string& binary,
                          const std::map<std::string, std::string>& extra) {
    const std::string program = binary.empty() ? TELVARA_BINARY : binary;
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    env["TELVARA_ROOT"] = m_root.string();
    env["XDG_RUNTIME_DIR"] = m_run.string();
    env.erase("DISPLAY");
    env.erase("WAYLAND_DISPLAY");
    for (const auto& [key, value] : extra)
        env[key] = value;
    std::vector<std::string> env_strings;
    for (const auto& [key, value] : env)
        env_strings.push_back(key + "=" + value);

    static int counter = 0;
    const fs::path output = m_dir / ("output-" + std::to_string(++counter) + ".txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::chdir(m_dir.c_str());
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : env_strings)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    m_outputs[pid] = output;
    return pid;
}

Finished TelvaraWorld::finish(pid_t pid, std::chrono::milliseconds limit) {
    Finished result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program did not end in time";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(m_outputs[pid]);
    std::stringstream text;
    text << in.rdbuf();
    result.output = text.str();
    return result;
}

std::string TelvaraWorld::output_so_far(pid_t pid) const {
    const auto found = m_outputs.find(pid);
    if (found == m_outputs.end())
        return {};
    std::ifstream in(found->second);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TelvaraWorld::log_text() const {
    std::ifstream in(m_root / "Temp" / "telvara.txt", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string ascii;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        ascii.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
    return ascii;
}

bool TelvaraWorld::wait_for_log(const std::string& text, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (log_text().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string TelvaraWorld::write_file(const std::string& name, const std::string& content) const {
    const fs::path path = m_dir / name;
    std::ofstream(path) << content;
    return path.string();
}

bool Png::read(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    width = int(image.width);
    height = int(image.height);
    rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

bool near_colour(std::array<int, 3> pixel, std::array<int, 3> wanted, int tolerance) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(pixel[i] - wanted[i]) > tolerance)
            return false;
    return true;
}

} // namespace telvara::e2e
