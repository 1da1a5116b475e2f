#include "TransferRecovery.h"

#include "LibLog.h"
#include "ServiceLifecycle.h"
#include "TokenCache.h"

namespace vesk::tsp {
namespace {

int Repair(int code) {
    switch (code) {
        case kServiceNoReply: {
            const int restarted = RestartStep();
            // The new service knows nothing of our token; this writes the disk token again.
            if (restarted == kServiceLoggedIn) TokenCache::Instance().Validate();
            return restarted;
        }
        case kServiceRenewToken:
            return TokenCache::Instance().Renew();
        case kServiceNotLoggedIn:
            return WaitForLogin();
        default:
            return kServiceOk;
    }
}

}  // namespace

int ErrorHandlerForTransfer(int code) {
    LibLog(L"ErrorHandlerForTransfer Begin");
    const int handled = Repair(code);
    LibLog(L"ErrorHandlerForTransfer End");
    return handled;
}

}  // namespace vesk::tsp
