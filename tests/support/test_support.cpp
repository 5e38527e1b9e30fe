#include "support/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/service.h"

extern char** environ;

namespace kz::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kztest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void writeFile(const std::string& path, std::string_view content) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(content.data(), std::streamsize(content.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    return fs::exists(path);
}

std::string fixture(std::string_view relative) {
    return std::string(KZ_FIXTURES_DIR) + "/" + std::string(relative);
}

void copyFixture(std::string_view relative, const std::string& to) {
    const fs::path from = fixture(relative);
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        if (!entry.is_regular_file()) continue;
        std::string text = readFile(entry.path().string());
        for (std::size_t at = 0; (at = text.find("@ROOT@", at)) != std::string::npos;
             at += to.size())
            text.replace(at, 6, to);
        writeFile((fs::path(to) / fs::relative(entry.path(), from)).string(), text);
    }
}

std::map<std::string, std::string> fileTree(const std::string& root) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = readFile(entry.path().string());
    }
    return files;
}

std::vector<std::string> reportLines(const std::string& logDirectory) {
    std::vector<std::string> lines;
    for (const auto& [name, text] : fileTree(logDirectory)) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Time\t", 0) != 0) lines.push_back(line.substr(line.find('\t') + 1));
        }
    }
    return lines;
}

std::vector<std::string> tabFields(std::string_view line) {
    std::vector<std::string> fields;
    for (std::size_t from = 0;;) {
        std::size_t tab = line.find('\t', from);
        fields.emplace_back(line.substr(from, tab - from));
        if (tab == std::string_view::npos) return fields;
        from = tab + 1;
    }
}

std::string binPath(std::string_view name) {
    return std::string(KZ_BIN_DIR) + "/" + std::string(name);
}

std::string libDir() {
    return KZ_LIB_DIR;
}

std::string libPath(std::string_view name) {
    return libDir() + "/" + std::string(name);
}

std::string testLibPath(std::string_view name) {
    return std::string(KZ_TESTLIB_DIR) + "/" + std::string(name);
}

namespace {

void drain(int fd, std::string& out) {
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) out.append(buf, size_t(n));
}

// Spawns argv with this process's environment, each NAME=VALUE of `env` replacing the
// inherited variable of that name. Returns the spawn error, 0 when started.
int spawnWith(pid_t& pid, const posix_spawn_file_actions_t& actions,
              const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    for (const std::string& extra : env) {
        std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(envStrings, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
        envStrings.push_back(extra);
    }
    std::vector<char*> envp, args;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (auto& s : argvCopy) args.push_back(s.data());
    args.push_back(nullptr);
    return posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
}

}  // namespace

RunOutput run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              std::string_view input) {
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC) || pipe2(inPipe, O_CLOEXEC)) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    pid_t pid = 0;
    int rc = spawnWith(pid, actions, argv, env);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    close(inPipe[0]);
    RunOutput result;
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        close(inPipe[1]);
        result.err = "spawn failed";
        return result;
    }
    if (!input.empty()) {
        ssize_t ignored = write(inPipe[1], input.data(), input.size());
        (void)ignored;
    }
    close(inPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (auto& p : fds) {
            if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP))) continue;
            std::string& sink = (p.fd == outPipe[0]) ? result.out : result.err;
            size_t before = sink.size();
            drain(p.fd, sink);
            if (sink.size() == before) {
                close(p.fd);
                p.fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int outPipe[2];
    if (pipe2(outPipe, O_CLOEXEC)) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    pid_t pid = 0;
    int rc = spawnWith(pid, actions, argv, env);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    outFd_ = outPipe[0];
    if (rc != 0) throw std::runtime_error("spawn failed");
    pid_ = pid;
}

Child::~Child() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
}

bool Child::waitForLine(std::string_view text, int seconds) {
    std::size_t searchedTo = 0;
    for (int waited = 0; waited < seconds * 10; ++waited) {
        if (output_.find(text, searchedTo) != std::string::npos) return true;
        pollfd p{outFd_, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            std::size_t before = output_.size();
            drain(outFd_, output_);
            if (output_.size() == before) return output_.find(text) != std::string::npos;
        }
    }
    return output_.find(text) != std::string::npos;
}

void Child::signal(int signalNumber) {
    if (pid_ > 0) kill(pid_, signalNumber);
}

int Child::wait() {
    while (true) {
        std::size_t before = output_.size();
        drain(outFd_, output_);
        if (output_.size() == before) break;
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Daemon::start(const std::vector<std::string>& argv, const std::string& logFile,
                   const std::function<bool()>& ready, int seconds) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    int rc = spawnWith(pid, actions, argv, {});
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    pid_ = pid;
    bool exited = false;
    bool up = WaitFor([&] { return (exited = waitpid(pid_, nullptr, WNOHANG) == pid_) || ready(); },
                      std::chrono::seconds(seconds));
    if (exited) pid_ = -1;
    return up && !exited;
}

void Daemon::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; },
                 std::chrono::seconds(10))) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    for (auto end = std::chrono::steady_clock::now() + bound;
         std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        if (condition()) return true;
    }
    return condition();
}

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

}  // namespace kz::test
