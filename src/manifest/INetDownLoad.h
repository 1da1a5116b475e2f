#pragma once
// The HTTP downloader: every attempt starts from an empty file, the body is written in
// pieces of at most 64 KiB as they arrive, and a body whose size differs from the announced
// length is fetched again from the start, four attempts in all. With a size limit, a body
// that would pass it (announced or as it arrives) is broken off, not retried, and no file of
// it is left. DownLoadPart does the same into a part file that survives a failure, and each
// attempt continues it where it stopped.

#include <chrono>
#include <cstdint>
#include <optional>

#include "IDownLoad.h"
#include "net/HttpSession.h"

class CINetDownLoad : public IDownLoad {
public:
    static constexpr char kUserAgent[] = "Vesk Client Downloader";
    static constexpr std::chrono::milliseconds kConnectTimeout{5000};
    // A transfer that receives nothing for this long is broken off, so a silent server
    // cannot hold the update forever.
    static constexpr std::chrono::milliseconds kStallTimeout{60000};
    static constexpr int kAttempts = 4;

    bool Init() override;
    bool Uninit() override;
    int DownLoad(const std::wstring& url, const std::wstring& localPath, std::int64_t* length,
                 int reserved1 = 0, int reserved2 = 0, int reserved3 = 0,
                 int reserved4 = 0) override;
    void SetProgressCallback(DownLoadProgress progress) override { m_progress = progress; }

    // Continues the part file at partPath with "Range: bytes=N-" and "If-Range" with the
    // validator kept beside it (DownloadPart). A 206 for exactly the rest is appended; a 200
    // (the server ignored the range, or the file changed), a 416, a part without a validator
    // or one past the size limit start it again from the first byte. A part that already has
    // the limit's size is complete without asking. On a failure the part stays for the next
    // attempt, except past the size limit (6), when it goes. Progress counts the bytes the
    // part already had as received; length receives the whole file's size.
    int DownLoadPart(const std::wstring& url, const std::wstring& partPath, std::int64_t* length);

    // The most bytes a body may have, for the downloads that follow; nullopt for no limit.
    void SetSizeLimit(std::optional<std::uint64_t> maxBytes) { m_sizeLimit = maxBytes; }

    // Tests shorten the waits; the updater keeps the values above.
    void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);

private:
    enum class Attempt { Complete, SizeDiffers, Failed };
    Attempt TryOnce(const std::wstring& url, const std::wstring& localPath, int& result,
                    std::int64_t& expected);

    Attempt TryPartOnce(const std::wstring& url, const std::wstring& partPath, int& result,
                        std::int64_t& total);

    vesk::net::HttpSession m_session;
    DownLoadProgress m_progress = nullptr;
    std::chrono::milliseconds m_connectTimeout = kConnectTimeout;
    std::chrono::milliseconds m_stallTimeout = kStallTimeout;
    std::optional<std::uint64_t> m_sizeLimit;
};
