// The options a fuzz target runs with unless its command line says otherwise: libFuzzer reads
// its flags after this hook, and a later flag wins over an earlier one.

#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<std::string> options;
    static std::vector<char*> arguments;
    std::istringstream words(VESK_FUZZ_OPTIONS);
    for (std::string word; words >> word;) options.push_back(word);
    arguments.push_back((*argv)[0]);
    for (std::string& option : options) arguments.push_back(option.data());
    for (int i = 1; i < *argc; ++i) arguments.push_back((*argv)[i]);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
    return 0;
}
