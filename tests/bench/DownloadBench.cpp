// Download: one InternetGetFile of a large package from a loopback server,
// as throughput, checked against the size the server holds.
//
//   qevzun_bench_download <port> <objectName> <localPath> <expectedBytes> [warmObjectName]
//
// In the program the log is configured and WinINet has served the state
// queries long before a download starts; one small fetch first puts this
// process in the same state, so that the figure is the transfer's own.
#include "BenchSupport.h"

#include "net/HttpTransport.h"

#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 5) {
        bench::Failure("usage: qevzun_bench_download <port> <objectName> <localPath> <expectedBytes> [warmObjectName]");
        return 2;
    }
    const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
    const std::string objectName = argv[2];
    const std::string localPath = argv[3];
    const double expected = std::atof(argv[4]);

    if (argc > 5) InternetGetData("127.0.0.1", argv[5], port);

    double start = bench::NowMs();
    int complete = InternetGetFile("127.0.0.1", objectName, localPath, port);
    double ms = bench::NowMs() - start;

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    double stored = -1;
    if (::GetFileAttributesExA(localPath.c_str(), GetFileExInfoStandard, &data)) {
        stored = static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + static_cast<double>(data.nFileSizeLow);
    }
    ::DeleteFileA(localPath.c_str());
    if (complete != 1 || stored != expected) {
        bench::Failure("download: result " + std::to_string(complete) + ", stored " + std::to_string(stored) +
                       " of " + std::to_string(expected) + " bytes");
        return 1;
    }
    bench::Sample("download.qevzun", expected / (1024.0 * 1024.0) / (ms / 1000.0));
    return 0;
}
