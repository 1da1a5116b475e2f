extern "C" __attribute__((visibility("default"))) int vesk_sample_answer() {
    return 42;
}
