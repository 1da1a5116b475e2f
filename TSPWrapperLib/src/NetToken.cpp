#include "NetToken.h"

namespace vesk::tsp {

std::wstring CurrentNetToken() {
    return {};
}

}  // namespace vesk::tsp
