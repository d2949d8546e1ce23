// One libFuzzer target: FUZZ_ENTRY names the entry function it drives.
#include <cstdio>
#include <cstdlib>

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The readers print their warnings to standard output; libFuzzer reports on
    // standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzz_entry::FUZZ_ENTRY(data, size) != 0) std::abort();
    return 0;
}
