#include "digest/PublisherKey.h"

#include "fs/Files.h"
#include "fs/WholeFile.h"

namespace vesk::digest {

PublisherKey ReadPublisherKey(std::wstring_view folder) {
    const std::wstring path = std::wstring(folder) + kPublisherKeyFile;
    PublisherKey key;
    key.present = !fs::IsAbsent(path);
    if (!key.present) return key;
    std::string text;
    if (fs::ReadWholeFile(path, text, kMaxKeyFileBytes) == fs::WholeFileRead::Ok)
        key.key = ParsePublicKey(text);
    return key;
}

}  // namespace vesk::digest
