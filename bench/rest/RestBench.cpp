// Times the library's CallService round trips of "transfer.status" against the running
// stand-in service, beside bare libcurl GETs of the same URL with a fresh easy handle each,
// in alternating blocks so both see the same machine. Prints microseconds per call for both
// and, last, "rest: ratio R": the bare call's time over ours (higher is better).

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CallService.h"
#include "ServiceMethods.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t Append(char* data, std::size_t size, std::size_t count, void* buffer) {
    static_cast<std::string*>(buffer)->append(data, size * count);
    return size * count;
}

bool BareGet(const char* url) {
    std::string body;
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    const bool ok = curl_easy_perform(handle) == CURLE_OK && !body.empty();
    curl_easy_cleanup(handle);
    return ok;
}

bool LibraryCall() {
    return !vesk::tsp::CallService(vesk::tsp::method::kTransferStatus, {{L"torrentId", L"bench"}})
                .empty();
}

template <class Call>
Clock::duration TimeBlock(int calls, Call call, int& failures) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) failures += call() ? 0 : 1;
    return Clock::now() - start;
}

double MicrosPerCall(Clock::duration total, int calls) {
    return std::chrono::duration<double, std::micro>(total).count() / calls;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 4000;
    constexpr int kBlock = 250;
    const char* url = "http://127.0.0.1:60524/rest/transfer.status?format=xml&torrentId=bench";
    int failures = 0;
    TimeBlock(kBlock, LibraryCall, failures);  // warm-up of both paths
    TimeBlock(
        kBlock, [url] { return BareGet(url); }, failures);
    if (failures > 0) {
        std::fprintf(stderr, "rest: the service does not answer\n");
        return 1;
    }
    Clock::duration ours{}, bare{};
    int done = 0;
    for (; done < calls; done += kBlock) {
        ours += TimeBlock(kBlock, LibraryCall, failures);
        bare += TimeBlock(
            kBlock, [url] { return BareGet(url); }, failures);
    }
    std::printf("rest: %d calls each, %d failed\n", done, failures);
    std::printf("rest: CallService %.1f us/call\n", MicrosPerCall(ours, done));
    std::printf("rest: bare libcurl GET %.1f us/call\n", MicrosPerCall(bare, done));
    std::printf("rest: ratio %.2f\n", MicrosPerCall(bare, done) / MicrosPerCall(ours, done));
    return failures > 0 ? 1 : 0;
}
