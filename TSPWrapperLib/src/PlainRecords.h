#pragma once
// Typed records copied field by field into the fixed-size records of the plain exports.

#include <vector>

#include "TSPWrapperLib.h"

namespace vesk::tsp {

void CopyPlain(const ServiceStatus& from, ServiceStatusC& to);
void CopyPlain(const TransferStatus& from, TransferStatusC& to);
// The first kPlainListLength entries, in order; count says how many.
void CopyPlain(const std::vector<TransferStatus>& from, TransferStatusListC& to);
void CopyPlain(const TransferInfo& from, TransferInfoC& to);
void CopyPlain(const VersionInfo& from, VersionInfoC& to);
void CopyPlain(const TokenInfo& from, TokenInfoC& to);
void CopyPlain(const LoginInfo& from, LoginInfoC& to);

}  // namespace vesk::tsp
