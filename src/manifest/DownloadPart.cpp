#include "DownloadPart.h"

#include "fs/HeldFile.h"
#include "fs/WholeFile.h"

namespace {

// An ETag or a date: anything longer is not a validator a server sends.
constexpr std::size_t kMaxValidatorBytes = 1024;

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

bool DownloadPart::Open() {
    const std::wstring folder = FolderOf(m_path);
    if (!folder.empty()) vesk::fs::CreateFolderTree(folder);
    // Only a plain file of our own is continued: a link there would have us write elsewhere.
    if (!vesk::fs::IsAbsent(m_path) && !vesk::fs::HeldFile::Open(m_path))
        vesk::fs::DeleteFile(m_path);
    using vesk::fs::ExclusiveFile;
    return ExclusiveFile::Open(m_path, ExclusiveFile::Access::ReadWrite,
                               /*createIfAbsent=*/true, m_file) == ExclusiveFile::Result::Ok &&
           m_file.SeekToEnd().has_value();
}

std::string DownloadPart::Validator() const {
    std::string validator;
    if (vesk::fs::ReadWholeFile(ValidatorPath(m_path), validator, kMaxValidatorBytes) !=
        vesk::fs::WholeFileRead::Ok)
        return {};
    return validator;
}

bool DownloadPart::Restart(const std::string& validator) {
    // Emptied first: a validator never stands beside bytes of another answer.
    if (!m_file.Truncate()) return false;
    const std::wstring path = ValidatorPath(m_path);
    if (validator.empty() || validator.size() > kMaxValidatorBytes) {
        vesk::fs::DeleteFile(path);
        return vesk::fs::IsAbsent(path);
    }
    return vesk::fs::WriteWholeFile(path, validator);
}

void DownloadPart::Discard() {
    m_file.Close();
    vesk::fs::DeleteFile(m_path);
    vesk::fs::DeleteFile(ValidatorPath(m_path));
}
