#pragma once
// Downloads one URL into one local file, synchronously, on the calling thread.

#include <cstdint>
#include <string>

// Result codes of DownLoad.
inline constexpr int kDownLoadOk = 0;
inline constexpr int kDownLoadNetworkError = 3;
inline constexpr int kDownLoadFileError = 5;
// The body would pass the size the caller allows (see CINetDownLoad::SetSizeLimit).
inline constexpr int kDownLoadTooLarge = 6;

// Receives (expected length, bytes received so far) on the downloading thread.
using DownLoadProgress = void (*)(int expected, int received);

class IDownLoad {
public:
    virtual ~IDownLoad() = default;

    virtual bool Init() = 0;
    virtual bool Uninit() = 0;
    // Blocks until the file is complete (0) or the download failed (3 network or HTTP,
    // 5 local file, 6 a body larger than allowed). length, when given, receives the announced
    // length. The reserved integers are passed as 0 and not used.
    virtual int DownLoad(const std::wstring& url, const std::wstring& localPath,
                         std::int64_t* length, int reserved1 = 0, int reserved2 = 0,
                         int reserved3 = 0, int reserved4 = 0) = 0;
    virtual void Hook1(int, int, int) {}
    virtual void Hook2(int, int, int) {}
    virtual void Hook3(int, int, int) {}
    virtual void SetProgressCallback(DownLoadProgress) {}
};
