// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace support {

class TempFolder {
  public:
    explicit TempFolder(const std::string& prefix) {
        namespace fs = std::filesystem;
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::error_code ec;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path p = fs::temp_directory_path(ec) / (prefix + "-" + std::to_string(stamp) +
                                                              "-" + std::to_string(counter++));
            if (!ec && fs::create_directory(p, ec) && !ec) {
                path_ = p.generic_string();
                return;
            }
        }
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when no folder could be made.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

} // namespace support
