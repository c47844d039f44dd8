#include "platform/SerialPort.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "platform/Clock.h"
#include "platform/TrafficTap.h"

namespace platform {

namespace {

std::atomic<SerialBackend*> installedBackend{nullptr};

std::mutex deviceMapMutex;
std::map<int, std::string> deviceMap;

// What an open handle stands for: its port and how to open it again.
struct OpenPort {
    std::shared_ptr<SerialPort> port;
    std::int32_t comNumber = 0;
    SerialLineSettings settings;
};

// Ports are shared with callers only for the length of one call, so a close
// from elsewhere never pulls a port from under a running read.
std::mutex portsMutex;
std::map<SerialHandle, OpenPort> openPorts;
SerialHandle lastHandle = kNoSerialPort;

std::shared_ptr<SerialPort> findPort(SerialHandle handle) {
    std::lock_guard<std::mutex> lock(portsMutex);
    const auto it = openPorts.find(handle);
    return it != openPorts.end() ? it->second.port : nullptr;
}

// Stands in for a device that could not be opened again.
class GonePort final : public SerialPort {
  public:
    std::size_t read(std::uint8_t*, std::size_t) override { return 0; }
    bool waitReadable(std::uint32_t timeoutMs) override {
        pauseMs(timeoutMs);
        return false;
    }
    std::size_t write(const std::uint8_t*, std::size_t) override { return 0; }
    void discardInput() override {}
    bool gone() const override { return true; }
};

SerialBackend& currentBackend() {
    SerialBackend* backend = installedBackend.load();
    return backend != nullptr ? *backend : systemSerialBackend();
}

} // namespace

void SerialPort::discardInput() {
    // Bounded, so a device that never stops talking cannot hold the caller.
    std::uint8_t buffer[256];
    for (int i = 0; i < 64 && read(buffer, sizeof buffer) > 0; ++i) {
    }
}

void setSerialBackend(SerialBackend* backend) {
    installedBackend.store(backend);
}

void setSerialDeviceMap(std::map<int, std::string> map) {
    std::lock_guard<std::mutex> lock(deviceMapMutex);
    deviceMap = std::move(map);
}

std::string mappedSerialDevicePath(int comNumber) {
    std::lock_guard<std::mutex> lock(deviceMapMutex);
    const auto it = deviceMap.find(comNumber);
    return it != deviceMap.end() ? it->second : std::string();
}

SerialHandle serialOpen(std::int32_t comNumber, const SerialLineSettings& settings) {
    if (comNumber < 1 || comNumber > 255) {
        return kNoSerialPort;
    }
    std::unique_ptr<SerialPort> port = currentBackend().open(comNumber, settings);
    if (!port) {
        return kNoSerialPort;
    }
    std::lock_guard<std::mutex> lock(portsMutex);
    // Skip 0 and handles still in use when the counter wraps.
    do {
        ++lastHandle;
    } while (lastHandle == kNoSerialPort || openPorts.count(lastHandle) != 0);
    openPorts.emplace(lastHandle,
                      OpenPort{std::shared_ptr<SerialPort>(std::move(port)), comNumber, settings});
    if (TrafficTap* tap = trafficTap()) {
        tap->serialOpened(lastHandle, comNumber, settings);
    }
    return lastHandle;
}

bool serialIsOpen(SerialHandle handle) {
    return findPort(handle) != nullptr;
}

std::size_t serialRead(SerialHandle handle, std::uint8_t* buffer, std::size_t maxBytes) {
    const std::shared_ptr<SerialPort> port = findPort(handle);
    const std::size_t got = port ? port->read(buffer, maxBytes) : 0;
    if (TrafficTap* tap = trafficTap()) {
        tap->serialRead(handle, buffer, got);
    }
    return got;
}

bool serialWaitReadable(SerialHandle handle, std::uint32_t timeoutMs) {
    const std::shared_ptr<SerialPort> port = findPort(handle);
    if (!port) {
        pauseMs(timeoutMs);
        return false;
    }
    return port->waitReadable(timeoutMs);
}

std::size_t serialWrite(SerialHandle handle, const std::uint8_t* data, std::size_t count) {
    if (TrafficTap* tap = trafficTap()) {
        tap->serialWritten(handle, data, count);
    }
    const std::shared_ptr<SerialPort> port = findPort(handle);
    return port ? port->write(data, count) : 0;
}

void serialDiscardInput(SerialHandle handle) {
    if (const std::shared_ptr<SerialPort> port = findPort(handle)) {
        port->discardInput();
    }
}

bool serialGone(SerialHandle handle) {
    const std::shared_ptr<SerialPort> port = findPort(handle);
    return port && port->gone();
}

bool serialReopen(SerialHandle handle) {
    std::int32_t comNumber = 0;
    SerialLineSettings settings;
    {
        std::lock_guard<std::mutex> lock(portsMutex);
        const auto it = openPorts.find(handle);
        if (it == openPorts.end()) {
            return false;
        }
        comNumber = it->second.comNumber;
        settings = it->second.settings;
        // The old device must be closed first: the port is opened exclusively.
        it->second.port = std::make_shared<GonePort>();
    }
    std::unique_ptr<SerialPort> port = currentBackend().open(comNumber, settings);
    {
        std::lock_guard<std::mutex> lock(portsMutex);
        const auto it = openPorts.find(handle);
        if (it == openPorts.end() || !port) {
            return false; // closed meanwhile, or the device is not back (yet)
        }
        it->second.port = std::shared_ptr<SerialPort>(std::move(port));
    }
    if (TrafficTap* tap = trafficTap()) {
        tap->serialOpened(handle, comNumber, settings);
    }
    return true;
}

bool serialClose(SerialHandle handle) {
    std::shared_ptr<SerialPort> port;
    {
        std::lock_guard<std::mutex> lock(portsMutex);
        const auto it = openPorts.find(handle);
        if (it == openPorts.end()) {
            return false;
        }
        port = std::move(it->second.port);
        openPorts.erase(it);
    }
    // The port closes its device when the last user lets go of it.
    port.reset();
    if (TrafficTap* tap = trafficTap()) {
        tap->serialClosed(handle);
    }
    return true;
}

} // namespace platform
