// The link's own time: bare read exchanges with one cradle through the channel and the protocol,
// no procedure, host or progress around them. Prints milliseconds per exchange, the floor the
// command-line figures are measured against.
#include "link/CradleProtocol.h"
#include "link/backends/SystemUsbLibrary.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CRADLE-ID EXCHANGES\n", argv[0]);
        return 2;
    }
    const auto library = CreateSystemUsbLibrary(argv[1]);
    CC8051f320Usb channel(*library);
    TransferState transfer;
    CradleProtocol link(channel, transfer);
    if (!channel.Open(kCradleDeviceString)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 3;
    }
    const int exchanges = std::atoi(argv[2]);
    const auto started = std::chrono::steady_clock::now();
    for (int exchange = 0; exchange < exchanges; ++exchange) {
        if (!link.ReadBlock(static_cast<std::uint32_t>(exchange % 10) * kBlockSize)) {
            return 3;
        }
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - started;
    std::printf("%.4f\n", elapsed.count() / exchanges);
    return 0;
}
