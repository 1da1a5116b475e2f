#pragma once
// The HTTP downloader: every attempt starts from an empty file, the body is written in
// pieces of at most 64 KiB as they arrive, and a body whose size differs from the announced
// length is fetched again from the start, four attempts in all. With a size limit, a body
// that would pass it (announced or as it arrives) is broken off, not retried, and no file of
// it is left.

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

    // The most bytes a body may have, for the downloads that follow; nullopt for no limit.
    void SetSizeLimit(std::optional<std::uint64_t> maxBytes) { m_sizeLimit = maxBytes; }

    // Tests shorten the waits; the updater keeps the values above.
    void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall);

private:
    enum class Attempt { Complete, SizeDiffers, Failed };
    Attempt TryOnce(const std::wstring& url, const std::wstring& localPath, int& result,
                    std::int64_t& expected);

    vesk::net::HttpSession m_session;
    DownLoadProgress m_progress = nullptr;
    std::chrono::milliseconds m_connectTimeout = kConnectTimeout;
    std::chrono::milliseconds m_stallTimeout = kStallTimeout;
    std::optional<std::uint64_t> m_sizeLimit;
};
