// Started by the log tests as a fresh process: logs what its argument names.
#include "log/Log.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "entries") {
        LogInfo("info %d", 1);
        LogError("error %s", "two");
        LogCrit("crit %c", '3');
    } else if (mode == "lengths") {
        // Whole texts of 2046, 2047 and 2048 characters, each one letter throughout.
        LogInfo("%s", std::string(2046, 'a').c_str());
        LogInfo("%s", std::string(2047, 'b').c_str());
        LogInfo("%s", std::string(2048, 'c').c_str());
        LogInfo("%s", std::string(5000, 'd').c_str());
        LogInfo("after");
    } else if (mode == "percent") {
        LogInfo("Response: %s", "{\"state\":\"100%d %s %n\"}");
    } else if (mode == "threads") {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 250; ++i) LogInfo("worker %d line %d %s", t, i, std::string(100, 'x').c_str());
            });
        }
        for (auto& th : threads) th.join();
    } else if (mode == "fill") {
        // argv[2] lines of 1000 characters.
        int lines = argc > 2 ? std::atoi(argv[2]) : 0;
        std::string body(1000, 'f');
        for (int i = 0; i < lines; ++i) LogInfo("fill %d %s", i, body.c_str());
    } else if (mode == "hello") {
        LogInfo("hello");
    }
    return 0;
}
