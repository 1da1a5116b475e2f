// The downloader's resuming side: one part file continued by ranged requests.

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "ContentRange.h"
#include "DownloadPart.h"
#include "INetDownLoad.h"

namespace {

constexpr char kRangeHeader[] = "Range: bytes=";
constexpr char kIfRangeHeader[] = "If-Range: ";

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// The validator a later If-Range may name: a strong ETag, else the modification date.
std::string ValidatorOf(const vesk::net::HttpResponseHead& head) {
    if (!head.etag.empty() && !head.etag.starts_with("W/")) return head.etag;
    return head.lastModified;
}

enum class Answer {
    Append,     // exactly the rest of the part's file
    FromStart,  // the whole file
    Complete,   // nothing is left to send: the part is the whole file
    StartOver,  // a slice that does not fit the part
    Refused,
};

struct Judgement {
    Answer answer = Answer::Refused;
    std::optional<std::uint64_t> total;  // the whole file's size, when known
};

// What an answer means for a part of offset bytes (0: no range was asked for).
Judgement Judge(const vesk::net::HttpResponseHead& head, std::uint64_t offset) {
    const auto length = head.contentLength < 0
                            ? std::nullopt
                            : std::optional(static_cast<std::uint64_t>(head.contentLength));
    if (head.status == 200 || (head.status == 206 && offset == 0))
        return {Answer::FromStart, length};
    const std::optional<ContentRange> range = ParseContentRange(head.contentRange);
    if (head.status == 206) {
        const bool rest = range && range->first == offset && range->total &&
                          range->last + 1 == *range->total &&
                          (!length || *length == *range->total - offset);
        return rest ? Judgement{Answer::Append, range->total} : Judgement{Answer::StartOver, {}};
    }
    if (head.status == 416) {
        const bool whole = range && !range->first && range->total == offset;
        return whole ? Judgement{Answer::Complete, offset} : Judgement{Answer::StartOver, {}};
    }
    return {};
}

}  // namespace

int CINetDownLoad::DownLoadPart(const std::wstring& url, const std::wstring& partPath,
                                std::int64_t* length) {
    try {
        std::int64_t total = 0;
        int result = kDownLoadNetworkError;
        for (int attempt = 1; attempt <= kAttempts; ++attempt) {
            const Attempt outcome = TryPartOnce(url, partPath, result, total);
            if (outcome == Attempt::Failed) return result;  // early failures are not retried
            if (outcome == Attempt::Complete) {
                result = kDownLoadOk;
                break;
            }
            result = kDownLoadNetworkError;
        }
        if (length) *length = total;
        return result;
    } catch (...) {
        return kDownLoadNetworkError;
    }
}

CINetDownLoad::Attempt CINetDownLoad::TryPartOnce(const std::wstring& url,
                                                  const std::wstring& partPath, int& result,
                                                  std::int64_t& total) {
    result = kDownLoadNetworkError;
    if (!m_session.SetConnectTimeout(m_connectTimeout)) return Attempt::Failed;
    m_session.SetStallTimeout(m_stallTimeout);
    const auto exceedsLimit = [this](std::uint64_t bytes) {
        return m_sizeLimit && bytes > *m_sizeLimit;
    };

    DownloadPart part(partPath);
    result = kDownLoadFileError;
    if (!part.Open()) return Attempt::Failed;
    std::uint64_t offset = part.Size();
    const std::string validator = offset > 0 ? part.Validator() : std::string();
    // Bytes no server can be asked to continue, or more than the file may have, are dropped.
    if (offset > 0 && (validator.empty() || exceedsLimit(offset))) {
        if (!part.Restart({})) return Attempt::Failed;
        offset = 0;
    }
    if (offset > 0 && m_sizeLimit && offset == *m_sizeLimit) {
        total = static_cast<std::int64_t>(offset);
        return Attempt::Complete;  // the check decides whether it is the file
    }
    result = kDownLoadNetworkError;
    std::vector<std::string> headers;
    if (offset > 0)
        headers = {kRangeHeader + std::to_string(offset) + "-", kIfRangeHeader + validator};

    Judgement judged;
    std::uint64_t received = offset;
    bool tooLarge = false;
    bool fileError = false;
    vesk::net::HttpHandlers handlers;
    handlers.onResponse = [&](const vesk::net::HttpResponseHead& head) {
        judged = Judge(head, offset);
        if (judged.total && exceedsLimit(*judged.total)) {
            tooLarge = true;
            return false;
        }
        if (judged.answer == Answer::FromStart) {
            fileError = !part.Restart(ValidatorOf(head));
            received = 0;
            return !fileError;
        }
        if (judged.answer == Answer::StartOver) fileError = !part.Restart({});
        return judged.answer == Answer::Append;
    };
    handlers.onBody = [&](const char* data, size_t size) {
        if (exceedsLimit(received + size)) {
            tooLarge = true;
            return false;
        }
        // A refused write leaves the part as far as it got; the next attempt goes on there.
        if (!part.Append(data, size)) return false;
        received += size;
        if (m_progress)
            m_progress(ClampToInt(static_cast<std::int64_t>(judged.total.value_or(0))),
                       ClampToInt(static_cast<std::int64_t>(received)));
        return true;
    };
    (void)m_session.Get(url, handlers, headers);  // a broken-off body is caught by the size check

    if (tooLarge) {
        part.Discard();
        result = kDownLoadTooLarge;
        return Attempt::Failed;
    }
    if (fileError) {
        result = kDownLoadFileError;
        return Attempt::Failed;
    }
    if (judged.answer == Answer::StartOver) return Attempt::SizeDiffers;
    if (judged.answer == Answer::Refused) return Attempt::Failed;  // the part stays for later
    const std::uint64_t size = part.Size();
    total = static_cast<std::int64_t>(judged.total.value_or(size));
    // Without a length the body is whole only once it reaches the most the file may have.
    const bool whole = judged.total ? size == *judged.total : m_sizeLimit && size == *m_sizeLimit;
    return whole ? Attempt::Complete : Attempt::SizeDiffers;
}
