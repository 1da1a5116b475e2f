#include "DiskTokenFile.h"

#include <fstream>

#include "fs/Files.h"
#include "fs/Paths.h"
#include "text/Utf.h"

namespace vesk::tsp {

bool WriteDiskTokenFile(const TokenInfo& token) {
    const std::string bytes = text::WideToUtf8(token.diskToken);
    if (bytes.size() > kDiskTokenLimit || token.filePath.empty()) return false;
    {
        std::ofstream out(fs::NativePath(token.filePath), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    // The service may run as another user; a file it cannot read fails only the validation.
    fs::GrantEveryoneReadWrite(token.filePath);
    return true;
}

}  // namespace vesk::tsp
