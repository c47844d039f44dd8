// Runs Debian's tftpd-hpa (in.tftpd) in the foreground on a loopback port
// with its own temporary directory, for interoperability tests and
// benchmarks. The server is killed by its process group id and the
// directory removed when the object goes. Header-only so bench/ can use it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace tftptest {

class TftpdHpa {
  public:
    static constexpr const char* kServer = "/usr/sbin/in.tftpd";

    TftpdHpa() {
        if (::access(kServer, X_OK) != 0) {
            whyNot_ = std::string(kServer) + " not installed (scripts/setup.sh installs tftpd-hpa)";
            return;
        }
        char pattern[] = "/tmp/tk-tftpd-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            whyNot_ = "cannot create a temporary directory";
            return;
        }
        directory_ = pattern;
        ::chmod(directory_.c_str(), 0777);
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
            startOnFreePort();
        }
        if (pid_ <= 0 && whyNot_.empty()) {
            whyNot_ = "in.tftpd did not answer on loopback";
        }
    }

    ~TftpdHpa() {
        stop();
        if (!directory_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(directory_, ignored);
        }
    }

    TftpdHpa(const TftpdHpa&) = delete;
    TftpdHpa& operator=(const TftpdHpa&) = delete;

    bool running() const { return pid_ > 0; }
    const std::string& whyNot() const { return whyNot_; }
    std::uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& directory() const { return directory_; }

    bool putFile(const std::string& name, const std::vector<std::uint8_t>& contents) const {
        const std::string path = directory_ + "/" + name;
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(contents.data()),
                      static_cast<std::streamsize>(contents.size()));
            if (!out) {
                return false;
            }
        }
        return ::chmod(path.c_str(), 0644) == 0; // the server serves world-readable files only
    }

    bool getFile(const std::string& name, std::vector<std::uint8_t>& contents) const {
        std::ifstream in(directory_ + "/" + name, std::ios::binary);
        if (!in) {
            return false;
        }
        contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return true;
    }

    bool exists(const std::string& name) const {
        return std::filesystem::exists(directory_ + "/" + name);
    }

    void stop() {
        if (pid_ <= 0) {
            return;
        }
        // The server forks a child per transfer into its own process group.
        ::kill(-pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(-pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
    }

  private:
    static std::uint16_t freeLoopbackPort() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0) {
            return 0;
        }
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof sa;
        std::uint16_t port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length) == 0) {
            port = ntohs(sa.sin_port);
        }
        ::close(fd);
        return port;
    }

    void startOnFreePort() {
        port_ = freeLoopbackPort();
        if (port_ == 0) {
            return;
        }
        const passwd* user = ::getpwuid(::geteuid());
        const std::string userName = user != nullptr ? user->pw_name : "root";
        const std::string listenAddress = "127.0.0.1:" + std::to_string(port_);
        std::vector<std::string> args = {kServer,    "--foreground", "--address", listenAddress,
                                         "--secure", "--create",     "--umask",   "000",
                                         "--user",   userName,       directory_};
        const pid_t child = ::fork();
        if (child < 0) {
            return;
        }
        if (child == 0) {
            ::setpgid(0, 0);
            const int devNull = ::open("/dev/null", O_RDWR);
            if (devNull >= 0) {
                ::dup2(devNull, 0);
                ::dup2(devNull, 1);
                ::dup2(devNull, 2);
            }
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(kServer, argv.data());
            ::_exit(127);
        }
        ::setpgid(child, child);
        pid_ = child;
        if (!waitUntilServing()) {
            stop();
            if (::geteuid() != 0) {
                whyNot_ = "in.tftpd must start as root to change its user";
            }
        }
    }

    // Reads a marker file that only this server's directory holds, so a
    // server of somebody else that took the same port cannot pass for ours.
    bool waitUntilServing() {
        const std::string marker = "tk-ready-probe";
        if (!putFile(marker, {'o', 'k'})) {
            return false;
        }
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0) {
            return false;
        }
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        server.sin_port = htons(port_);
        std::string request("\0\1", 2);
        request += marker;
        request.push_back('\0');
        request += "octet";
        request.push_back('\0');
        bool serving = false;
        for (int attempt = 0; attempt < 40 && !serving; ++attempt) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1; // exited: port taken or no permission
                break;
            }
            ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&server),
                     sizeof server);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                unsigned char answer[600];
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t got = ::recvfrom(fd, answer, sizeof answer, 0,
                                               reinterpret_cast<sockaddr*>(&from), &length);
                if (got == 6 && answer[1] == 3 && answer[4] == 'o' && answer[5] == 'k') {
                    const unsigned char ack[] = {0, 4, answer[2], answer[3]};
                    ::sendto(fd, ack, sizeof ack, 0, reinterpret_cast<sockaddr*>(&from), length);
                    serving = true;
                }
            }
        }
        ::close(fd);
        ::unlink((directory_ + "/" + marker).c_str());
        return serving && ::waitpid(pid_, nullptr, WNOHANG) == 0;
    }

    std::string directory_;
    std::string whyNot_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

} // namespace tftptest
