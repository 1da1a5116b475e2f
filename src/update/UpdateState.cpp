#include "UpdateState.h"

#include <utility>

void UpdateState::SetTransferId(std::wstring id) {
    std::lock_guard lock(m_mutex);
    m_transferId = std::move(id);
}

std::wstring UpdateState::TransferId() const {
    std::lock_guard lock(m_mutex);
    return m_transferId;
}

std::wstring UpdateState::TakeTransferId() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_transferId, {});
}
