// Helpers of the simulator's peer tests: running outside programs (curl,
// tftp, tk7713t-sim) by pid, and a raw UDP socket on loopback.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline std::uint64_t monoMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// A child process started from argv; killed by its pid when destroyed.
class Child {
  public:
    explicit Child(const std::vector<std::string>& argv, const std::string& workDir = {}) {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        // Everything the child needs is built before the fork.
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            const int devnull = open("/dev/null", O_RDONLY);
            dup2(devnull, 0);
            if (!workDir.empty() && chdir(workDir.c_str()) != 0) {
                _exit(126);
            }
            execvp(args[0], args.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        for (int fd : {outFd_, errFd_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

    // Reads output until a line starting with prefix appears; returns the line.
    std::optional<std::string> waitForLine(const std::string& prefix, int timeoutMs) {
        const std::uint64_t end = monoMs() + static_cast<std::uint64_t>(timeoutMs);
        std::size_t scanned = 0;
        for (;;) {
            std::size_t nl;
            while ((nl = out_.find('\n', scanned)) != std::string::npos) {
                const std::string line = out_.substr(scanned, nl - scanned);
                scanned = nl + 1;
                if (line.rfind(prefix, 0) == 0) {
                    return line;
                }
            }
            const std::uint64_t now = monoMs();
            if (now >= end || !pump(static_cast<int>(end - now))) {
                return std::nullopt;
            }
        }
    }

    // Waits for the exit; on timeout kills the child. Returns the exit code,
    // 128 + signal when killed by a signal, -1 on timeout.
    int wait(int timeoutMs) {
        const std::uint64_t end = monoMs() + static_cast<std::uint64_t>(timeoutMs);
        while (monoMs() < end) {
            pump(20);
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exited_ = true;
                while (pump(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
        return -1;
    }

    void signal(int sig) const { kill(pid_, sig); }

  private:
    // Collects what is ready; false when both pipes are closed.
    bool pump(int timeoutMs) {
        pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (outFd_ < 0 && errFd_ < 0) {
            return false;
        }
        if (poll(fds, 2, timeoutMs) <= 0) {
            return true;
        }
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) {
                continue;
            }
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? out_ : err_).append(buf, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                (i == 0 ? outFd_ : errFd_) = -1;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool exited_ = false;
    std::string out_;
    std::string err_;
};

struct RunResult {
    int code;
    std::string out;
    std::string err;
};

inline RunResult run(const std::vector<std::string>& argv, int timeoutMs = 20000,
                     const std::string& workDir = {}) {
    Child c(argv, workDir);
    const int code = c.wait(timeoutMs);
    return {code, c.out(), c.err()};
}

struct Datagram {
    Bytes bytes;
    std::uint16_t port = 0;
};

// A UDP socket on 127.0.0.1 with an ephemeral port.
class Udp {
  public:
    Udp() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~Udp() { close(fd_); }
    Udp(const Udp&) = delete;
    Udp& operator=(const Udp&) = delete;

    void send(const Bytes& bytes, std::uint16_t port) const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::optional<Datagram> receive(int timeoutMs) const {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) {
            return std::nullopt;
        }
        Datagram d;
        d.bytes.resize(70000);
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(fd_, d.bytes.data(), d.bytes.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) {
            return std::nullopt;
        }
        d.bytes.resize(static_cast<std::size_t>(n));
        d.port = ntohs(from.sin_port);
        return d;
    }
    std::uint16_t port() const {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        return ntohs(a.sin_port);
    }

  private:
    int fd_ = -1;
};

// TFTP packets as a client writes them.
inline Bytes request(std::uint16_t opcode, const std::string& name,
                     const std::vector<std::string>& options = {},
                     const std::string& mode = "octet") {
    Bytes p{static_cast<std::uint8_t>(opcode >> 8), static_cast<std::uint8_t>(opcode & 0xFF)};
    auto add = [&](const std::string& s) {
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
    };
    add(name);
    add(mode);
    for (const std::string& o : options) {
        add(o);
    }
    return p;
}

inline Bytes ack(std::uint16_t block) {
    return {0, 4, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block & 0xFF)};
}

inline Bytes data(std::uint16_t block, const Bytes& payload) {
    Bytes p{0, 3, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block & 0xFF)};
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

inline std::uint16_t opcodeOf(const Bytes& p) {
    return p.size() >= 2 ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : 0xFFFF;
}

inline std::uint16_t numberOf(const Bytes& p) {
    return p.size() >= 4 ? static_cast<std::uint16_t>(p[2] << 8 | p[3]) : 0xFFFF;
}

inline Bytes payloadOf(const Bytes& p) {
    return p.size() > 4 ? Bytes(p.begin() + 4, p.end()) : Bytes{};
}

} // namespace simtest
