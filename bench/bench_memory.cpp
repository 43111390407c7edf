// Target 5: the screen, loaded in this process as the headless shell loads
// it, holding 100,000 assigned services. The heap in use (mallinfo2) and the
// resident size are read with the header filled but nothing loaded (idle),
// and again once leaving the header has loaded both lists; the growth is set
// against the size of the data packet that carried the services. Prints one
// JSON line.
//
//   bench_memory --port PORT --dir DIR
#include "bench/support/BenchData.h"
#include "bench/support/ScreenRig.h"
#include "bench/support/StackClient.h"
#include "platform/core/DataPacketCodec.h"
#include "platform/data/TClientDataSet.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <unistd.h>

namespace {

size_t HeapInUse()
{
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

size_t Resident()
{
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

} // namespace

int main(int argc, char** argv)
{
    int port = 0;
    std::string dir = "/tmp/servcliente-bench/memory";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0) {
            port = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--dir") == 0) {
            dir = argv[i + 1];
        }
    }
    if (port <= 0) {
        std::fprintf(stderr, "usage: bench_memory --port PORT [--dir DIR]\n");
        return 2;
    }
    const BenchBranch& b = BenchData::Memory();
    try {
        size_t heapIdle = 0;
        size_t heapLoaded = 0;
        size_t rssIdle = 0;
        size_t rssLoaded = 0;
        int rows = 0;
        {
            ScreenRig rig(dir, port, b.branch);
            rig.Open();
            rig.PickClient();
            malloc_trim(0);
            heapIdle = HeapInUse();
            rssIdle = Resident();
            rig.LeaveHeader();
            malloc_trim(0);
            heapLoaded = HeapInUse();
            rssLoaded = Resident();
            rows = rig.Get<TClientDataSet>("cdsServClie")->RecordCount();
        }
        size_t packetBytes = 0;
        {
            StackClient probe("127.0.0.1", port);
            Variant answer = probe.Fetch("GetServClie", b.branch, b.client);
            packetBytes = DataPacketCodec::Encode(*answer.AsPacket()).size();
        }
        if (rows != b.assigned) {
            std::fprintf(stderr, "bench_memory: the screen holds %d services, not %d\n", rows, b.assigned);
            return 1;
        }
        const double heapGrowth = static_cast<double>(heapLoaded) - static_cast<double>(heapIdle);
        const double rssGrowth = static_cast<double>(rssLoaded) - static_cast<double>(rssIdle);
        std::printf("{\"rows\": %d, \"packet_bytes\": %zu, \"heap_idle\": %zu, \"heap_loaded\": %zu, "
                    "\"rss_idle\": %zu, \"rss_loaded\": %zu, \"heap_ratio\": %.3f, \"rss_ratio\": %.3f}\n",
                    rows, packetBytes, heapIdle, heapLoaded, rssIdle, rssLoaded,
                    heapGrowth / static_cast<double>(packetBytes), rssGrowth / static_cast<double>(packetBytes));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_memory: %s\n", e.what());
        return 1;
    }
    return 0;
}
