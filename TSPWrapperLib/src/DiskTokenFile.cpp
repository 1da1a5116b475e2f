#include "DiskTokenFile.h"

#include "fs/Files.h"
#include "fs/Paths.h"
#include "fs/WholeFile.h"
#include "text/Utf.h"

namespace vesk::tsp {

bool WriteDiskTokenFile(const TokenInfo& token) {
    const std::string bytes = text::WideToUtf8(token.diskToken);
    if (bytes.size() > kDiskTokenLimit || token.filePath.empty()) return false;
    if (!fs::WriteWholeFile(token.filePath, bytes)) return false;
    // The service may run as another user; a file it cannot read fails only the validation.
    fs::GrantEveryoneReadWrite(token.filePath);
    return true;
}

}  // namespace vesk::tsp
