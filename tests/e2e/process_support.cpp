// Spawning the binary for the end-to-end tests.
#include "process_support.h"
#include "data/contact_store.h"
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
extern char** environ;
namespace telvara::e2e {
void TelvaraWorld::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "telvara-e2e-XXXXXX").string();
    m_dir = ::mkdtemp(pattern.data());
    fs::create_directories(m_root = m_dir / "root");
    fs::create_directories(m_run = m_dir / "run");
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
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the program did not end in time";
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            read_file(m_outputs[pid])};
}
std::string TelvaraWorld::output_so_far(pid_t pid) const {
    const auto found = m_outputs.find(pid);
    return found == m_outputs.end() ? std::string() : read_file(found->second);
}
std::string TelvaraWorld::log_text() const {
    const std::string bytes = read_file(m_root / "Temp" / "telvara.txt");
    std::string ascii;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        ascii.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
    return ascii;
}
bool TelvaraWorld::wait_for_log(const std::string& text, std::size_t from) const {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms))
        if (log_text().find(text, from) != std::string::npos)
            return true;
    return false;
}
Finished TelvaraWorld::script(const std::string& text, std::vector<std::string> args,
                              const std::string& binary) {
    args.insert(args.begin(), "--headless");
    args.insert(args.end(), {"--script", write_file("script.txt", text)});
    return run(args, binary);
}
void TelvaraWorld::settings(const std::string& lines, bool demo) const {
    std::ofstream(m_root / "registry.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\KELMA\\Telvara]\n"
        << (demo ? "" : "\"DemoData\"=dword:00000000\n") << lines;
}
Png TelvaraWorld::shot(const std::string& name) const {
    Png png;
    EXPECT_TRUE(png.read((m_dir / name).string())) << name;
    return png;
}
std::vector<phone::CallLogEntry> TelvaraWorld::calls() const {
    return phone::CallLog((m_root / "pim.vol").string()).entries();
}
std::vector<std::string> TelvaraWorld::call_rows() const {
    static const char* const directions[] = {"missed", "incoming", "outgoing", "rejected"};
    std::vector<std::string> rows;
    for (const phone::CallLogEntry& call : calls())
        rows.push_back(std::string(directions[std::size_t(call.direction) % 4]) + " " +
                       (call.number ? to_utf8(*call.number) : "-") +
                       (call.name ? " " + to_utf8(*call.name) : ""));
    return rows;
}
std::size_t TelvaraWorld::contacts() const {
    std::vector<data::ContactRecord> records;
    return data::ContactStore((m_root / "pim.vol").string()).load_contacts(records);
}
std::string read_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::string find_program(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const fs::path candidate = fs::path(rest.substr(0, colon)) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
    return {};
}
std::string TelvaraWorld::write_file(const std::string& name, const std::string& content) const {
    std::ofstream(m_dir / name) << content;
    return (m_dir / name).string();
}
bool Png::read(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::tie(width, height) = std::pair(int(image.width), int(image.height));
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
