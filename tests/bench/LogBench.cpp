// Logging: 100 000 lines from two threads through LogInfo, against the same
// lines handed straight to a log4cpp rolling file appender with the same
// layout, size limit and backup. One mode per fresh process, so that both
// start from an unconfigured library and no file of the other run.
//
//   qevzun_bench_log <qevzun|baseline>
#include "BenchSupport.h"

#include "log/Log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/RollingFileAppender.hh>

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr int kLinesPerThread = 50000;
constexpr int kThreads = 2;
const char* const kFormat = "%s(%d) Bench line %d of worker %d: state NORMAL, release 3.5.12.1";
constexpr int kSourceLine = 42;  // the same text on both sides

void RemoveLogs(const std::string& path) {
    ::DeleteFileA(path.c_str());
    ::DeleteFileA((path + ".1").c_str());
}

// What LogWrite hands to the library, built here the plain way: process
// name, thread id, the formatted text.
void BaselineLines(log4cpp::Category& category, const std::string& processName, int worker) {
    for (int i = 0; i < kLinesPerThread; ++i) {
        char text[2048];
        std::snprintf(text, sizeof(text), kFormat, "LogBench", kSourceLine, i, worker);
        category.log(log4cpp::Priority::INFO,
                     processName + " " + std::to_string(::GetCurrentThreadId()) + " " + text);
    }
}

void ProductLines(int worker) {
    for (int i = 0; i < kLinesPerThread; ++i) LogInfo(kFormat, "LogBench", kSourceLine, i, worker);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string here = bench::DirectoryOfExecutable();
    if (mode == "qevzun") {
        RemoveLogs(here + "\\QEVZUNLOG.log");
        double start = bench::NowMs();
        std::thread first(ProductLines, 1);
        std::thread second(ProductLines, 2);
        first.join();
        second.join();
        bench::Sample("log.qevzun", bench::NowMs() - start);
        return 0;
    }
    if (mode == "baseline") {
        const std::string path = here + "\\BASELINELOG.log";
        RemoveLogs(path);
        double start = bench::NowMs();
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%d [%p] %m%n");
        auto* appender = new log4cpp::RollingFileAppender("main", path, 10485760, 1, true);
        appender->setLayout(layout);
        log4cpp::Category& category = log4cpp::Category::getRoot();
        category.addAppender(appender);
        category.setPriority(log4cpp::Priority::DEBUG);
        std::thread first(BaselineLines, std::ref(category), std::string("qevzun_bench_log"), 1);
        std::thread second(BaselineLines, std::ref(category), std::string("qevzun_bench_log"), 2);
        first.join();
        second.join();
        bench::Sample("log.baseline", bench::NowMs() - start);
        return 0;
    }
    bench::Failure("usage: qevzun_bench_log <qevzun|baseline>");
    return 2;
}
