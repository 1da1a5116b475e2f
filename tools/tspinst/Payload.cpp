#include "Payload.h"

// The service program's bytes, then padding that keeps the installer over 1 MiB whatever
// the build, as the library runs no smaller download.
asm(R"(
    .section .rodata.tsp_payload, "a"
    .balign 16
    .global tsp_payload_begin
tsp_payload_begin:
    .incbin ")" TSP_SERVICE_PAYLOAD R"("
    .global tsp_payload_end
tsp_payload_end:
    .skip 1048576
    .previous
)");

extern "C" const char tsp_payload_begin[];
extern "C" const char tsp_payload_end[];

namespace vesk::tsp_installer {

std::string_view ServicePayload() {
    return {tsp_payload_begin, static_cast<std::size_t>(tsp_payload_end - tsp_payload_begin)};
}

}  // namespace vesk::tsp_installer
