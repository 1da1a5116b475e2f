#include "INetDownLoad.h"

#include <algorithm>
#include <climits>

#include "fs/Files.h"

namespace {

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// The local side of one attempt: the file is made only once the server has said yes.
class LocalTarget {
public:
    explicit LocalTarget(const std::wstring& path) : m_path(path) {}

    bool Create() {
        const std::wstring folder = FolderOf(m_path);
        if (!folder.empty()) vesk::fs::CreateFolderTree(folder);
        vesk::fs::SetReadOnly(m_path, false);
        vesk::fs::DeleteFile(m_path);
        using vesk::fs::ExclusiveFile;
        // A file that could not be deleted is still created anew: emptied once it is ours.
        return ExclusiveFile::Open(m_path, ExclusiveFile::Access::ReadWrite,
                                   /*createIfAbsent=*/true, m_file) == ExclusiveFile::Result::Ok &&
               m_file.Truncate();
    }
    bool Write(const char* data, size_t size) { return m_file.Write(data, size); }
    std::int64_t Size() { return static_cast<std::int64_t>(m_file.Size().value_or(0)); }
    bool IsOpen() const { return m_file.IsOpen(); }
    // Nothing of a body that was refused stays behind.
    void Discard() {
        m_file.Close();
        vesk::fs::DeleteFile(m_path);
    }

private:
    std::wstring m_path;
    vesk::fs::ExclusiveFile m_file;
};

}  // namespace

bool CINetDownLoad::Init() {
    return m_session.Open(kUserAgent);
}

bool CINetDownLoad::Uninit() {
    m_session.Close();
    return true;
}

void CINetDownLoad::SetTimeouts(std::chrono::milliseconds connect,
                                std::chrono::milliseconds stall) {
    m_connectTimeout = connect;
    m_stallTimeout = stall;
}

int CINetDownLoad::DownLoad(const std::wstring& url, const std::wstring& localPath,
                            std::int64_t* length, int, int, int, int) {
    try {
        std::int64_t expected = 0;
        int result = kDownLoadNetworkError;
        for (int attempt = 1; attempt <= kAttempts; ++attempt) {
            const Attempt outcome = TryOnce(url, localPath, result, expected);
            if (outcome == Attempt::Failed) return result;  // early failures are not retried
            if (outcome == Attempt::Complete) {
                result = kDownLoadOk;
                break;
            }
            result = kDownLoadNetworkError;
        }
        if (length) *length = expected;
        return result;
    } catch (...) {
        return kDownLoadNetworkError;
    }
}

CINetDownLoad::Attempt CINetDownLoad::TryOnce(const std::wstring& url,
                                              const std::wstring& localPath, int& result,
                                              std::int64_t& expected) {
    result = kDownLoadNetworkError;
    if (!m_session.SetConnectTimeout(m_connectTimeout)) return Attempt::Failed;
    m_session.SetStallTimeout(m_stallTimeout);

    LocalTarget target(localPath);
    std::int64_t received = 0;
    bool tooLarge = false;
    const auto exceedsLimit = [this](std::uint64_t bytes) {
        return m_sizeLimit && bytes > *m_sizeLimit;
    };
    vesk::net::HttpHandlers handlers;
    handlers.onResponse = [&](const vesk::net::HttpResponseHead& head) {
        if (head.status != 200 && head.status != 206) return false;
        if (head.contentLength > 0 &&
            exceedsLimit(static_cast<std::uint64_t>(head.contentLength))) {
            result = kDownLoadTooLarge;
            return false;
        }
        if (!target.Create()) {
            result = kDownLoadFileError;
            return false;
        }
        expected = head.contentLength < 0 ? 0 : head.contentLength;
        return true;
    };
    handlers.onBody = [&](const char* data, size_t size) {
        if (exceedsLimit(static_cast<std::uint64_t>(received) + size)) {
            tooLarge = true;
            return false;
        }
        received += static_cast<std::int64_t>(size);
        // A refused write shows in the size check below and the attempt starts over.
        target.Write(data, size);
        if (m_progress) m_progress(ClampToInt(expected), ClampToInt(received));
        return true;
    };
    const auto outcome = m_session.Get(url, handlers);
    if (!target.IsOpen()) return Attempt::Failed;  // no answer, a refused status, no file
    if (tooLarge) {
        target.Discard();
        result = kDownLoadTooLarge;
        return Attempt::Failed;
    }
    (void)outcome;  // a broken-off body is caught by the size check
    return target.Size() == expected ? Attempt::Complete : Attempt::SizeDiffers;
}
