#include "net/WinInetApi.h"

#include "app/SystemLibrary.h"

namespace {

WinInetApi Bind() {
    static const SystemLibrary library(L"wininet.dll");
    WinInetApi api;
    api.complete = library.Bind(api.getConnectedState, "InternetGetConnectedState") &&
                       library.Bind(api.open, "InternetOpenA") && library.Bind(api.connect, "InternetConnectA") &&
                       library.Bind(api.openRequest, "HttpOpenRequestA") &&
                       library.Bind(api.sendRequest, "HttpSendRequestA") &&
                       library.Bind(api.queryInfo, "HttpQueryInfoA") &&
                       library.Bind(api.readFile, "InternetReadFile") &&
                       library.Bind(api.setOption, "InternetSetOptionA") &&
                       library.Bind(api.queryOption, "InternetQueryOptionA") &&
                       library.Bind(api.closeHandle, "InternetCloseHandle");
    api.error = api.complete ? 0 : library.MissingError();
    return api;
}

}  // namespace

const WinInetApi& WinInet() {
    static const WinInetApi api = Bind();
    return api;
}
