// UUID scan: GetAgentUUID on a large "db_general" against one ReadFile of the
// same file, and the peak memory that the scan needs on top of the empty
// process.
//
//   qevzun_bench_uuid <case> time <runs>        lays the file out, then times both alternately
//   qevzun_bench_uuid <case> memory <uuid|read> one operation in this fresh process, its peaks
//   qevzun_bench_uuid clean                     removes the agent footprint
//
// Cases: near-end (the one marker 4 KiB before the end of 64 MiB) and
// many-markers (100 000 markers whose 50 bytes end in a byte that is never
// UTF-8, spread over the file, then the valid one near the end).
#include "BenchSupport.h"

#include "app/Handles.h"
#include "inspect/AgentDatabase.h"
#include "tests/support/FakeAgent.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kFileSize = 64u * 1024u * 1024u;
constexpr std::size_t kValidMarkerFromEnd = 4096;
constexpr int kBadMarkers = 100000;

std::string DbPath() { return FakeAgent::DataDir() + "\\db_general"; }

// Database-like bytes that never form the marker by chance (a fixed xorshift).
void FillPseudoRandom(std::string& bytes, std::size_t from, std::size_t to) {
    std::uint32_t state = 0x9E3779B9u;
    for (std::size_t i = from; i < to; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state >> 24);
    }
}

void Put(std::string& bytes, std::size_t at, const std::string& part) { bytes.replace(at, part.size(), part); }

bool LayOut(const std::string& name) {
    std::string bytes(kFileSize, '\0');
    const std::string header = FakeAgent::GeneralDbWithUuid("");
    FillPseudoRandom(bytes, 0, bytes.size());
    Put(bytes, 0, header.substr(0, header.find("AGENT_UUID")));
    if (name == "many-markers") {
        // 49 plain bytes and then 0xFF: each failed decoding runs the whole 50.
        const std::string bad = "AGENT_UUID" + std::string(49, 'x') + "\xFF";
        const std::size_t first = 4096;
        const std::size_t spacing = (kFileSize - first - 2 * kValidMarkerFromEnd) / kBadMarkers;
        for (int i = 0; i < kBadMarkers; ++i) Put(bytes, first + static_cast<std::size_t>(i) * spacing, bad);
    } else if (name != "near-end") {
        return false;
    }
    const std::string record = FakeAgent::GeneralDbWithUuid(FakeAgent::kUuid);
    Put(bytes, kFileSize - kValidMarkerFromEnd, record.substr(record.find("AGENT_UUID")));

    FakeAgentSpec spec;
    spec.generalDb = bytes;
    try {
        FakeAgent::Install(spec);
    } catch (const std::exception& e) {
        bench::Failure(std::string("agent footprint: ") + e.what());
        return false;
    }
    return true;
}

// The least any reader of the file does: open, size, a buffer, one read.
bool ReadOnce() {
    UniqueFileHandle file(::CreateFileA(DbPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD size = ::GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE) return false;
    std::unique_ptr<char[]> buffer(new char[size]);
    DWORD read = 0;
    return ::ReadFile(file.get(), buffer.get(), size, &read, nullptr) && read == size;
}

bool UuidFound() {
    std::wstring uuid = GetAgentUUID();
    std::string expected = FakeAgent::kUuid;
    if (uuid.size() < expected.size()) return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (uuid[i] != static_cast<wchar_t>(static_cast<unsigned char>(expected[i]))) return false;
    }
    return true;
}

int Time(const std::string& name, int runs) {
    if (!LayOut(name)) return 1;
    // The file comes into the cache once before the counted runs.
    if (!ReadOnce() || !UuidFound()) {
        bench::Failure("uuid " + name + ": the UUID was not found");
        return 1;
    }
    for (int i = 0; i < runs; ++i) {
        double start = bench::NowMs();
        bool read = ReadOnce();
        double between = bench::NowMs();
        bool found = UuidFound();
        double end = bench::NowMs();
        if (!read || !found) {
            bench::Failure("uuid " + name + ": a run failed");
            return 1;
        }
        bench::Sample("uuid." + name + ".baseline", between - start);
        bench::Sample("uuid." + name + ".qevzun", end - between);
    }
    return 0;
}

// The peak counters are the system's own; where a system reports only the
// current private bytes (Wine does so for the peak too), a thread that reads
// them every millisecond during the operation stands in for the peak.
class PeakWatch {
public:
    PeakWatch() : m_thread(::CreateThread(nullptr, 0, &PeakWatch::Main, this, 0, nullptr)) {}
    ~PeakWatch() { Stop(); }
    PeakWatch(const PeakWatch&) = delete;
    PeakWatch& operator=(const PeakWatch&) = delete;

    void Stop() {
        if (!m_thread) return;
        m_stop = 1;
        ::WaitForSingleObject(m_thread.get(), INFINITE);
        m_thread.reset();
    }
    SIZE_T PeakPrivate() const { return m_peakPrivate; }
    SIZE_T PeakWorkingSet() const { return m_peakWorkingSet; }

private:
    static DWORD WINAPI Main(LPVOID self) {
        auto* watch = static_cast<PeakWatch*>(self);
        while (!watch->m_stop) {
            watch->Take();
            ::Sleep(1);
        }
        watch->Take();
        return 0;
    }
    void Take() {
        const PROCESS_MEMORY_COUNTERS now = bench::MemoryOf(::GetCurrentProcess());
        m_peakPrivate = std::max({m_peakPrivate, now.PagefileUsage, now.PeakPagefileUsage});
        m_peakWorkingSet = std::max({m_peakWorkingSet, now.WorkingSetSize, now.PeakWorkingSetSize});
    }

    volatile LONG m_stop = 0;
    SIZE_T m_peakPrivate = 0;
    SIZE_T m_peakWorkingSet = 0;
    UniqueKernelHandle m_thread;
};

int Memory(const std::string& name, const std::string& operation) {
    const PROCESS_MEMORY_COUNTERS empty = bench::MemoryOf(::GetCurrentProcess());
    PeakWatch watch;
    bool ok = operation == "uuid" ? UuidFound() : operation == "read" && ReadOnce();
    watch.Stop();
    if (!ok || empty.cb == 0) {
        bench::Failure("uuid " + name + " memory " + operation + " failed");
        return 1;
    }
    const std::string key = "uuid." + name + "." + operation;
    bench::Sample(key + ".private", static_cast<double>(watch.PeakPrivate()) - static_cast<double>(empty.PagefileUsage));
    bench::Sample(key + ".working_set",
                  static_cast<double>(watch.PeakWorkingSet()) - static_cast<double>(empty.WorkingSetSize));
    bench::Sample("uuid.size", static_cast<double>(kFileSize));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    const std::string mode = argc > 2 ? argv[2] : "";
    if (name == "clean") {
        FakeAgent::Remove();
        return 0;
    }
    if (mode == "time") return Time(name, argc > 3 ? std::atoi(argv[3]) : 5);
    if (mode == "memory" && argc > 3) return Memory(name, argv[3]);
    bench::Failure("usage: qevzun_bench_uuid <near-end|many-markers> time <runs> | <case> memory <uuid|read> | clean");
    return 2;
}
