// Calls a function no library defines: loadable only when names are bound at first use.
extern "C" int vesk_defined_nowhere();

extern "C" __attribute__((visibility("default"))) int vesk_calls_nowhere() {
    return vesk_defined_nowhere();
}
