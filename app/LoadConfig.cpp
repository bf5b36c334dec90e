// The image's load configuration, under the name Windows linkers give it. Its DependentLoadFlags
// make Windows 10 1607 and later resolve what the statically imported DLLs import in turn from
// the system folder only, never from beside the program.
#include <windows.h>

#include <cstddef>

namespace {
constexpr IMAGE_LOAD_CONFIG_DIRECTORY LoadConfiguration()
{
    IMAGE_LOAD_CONFIG_DIRECTORY configuration{};
    configuration.Size = sizeof configuration;
    // The toolchain's headers still call the DependentLoadFlags field Reserved1.
    configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return configuration;
}
} // namespace

// scripts/set-load-config.py points the image's load configuration entry here after the link.
extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;
const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = LoadConfiguration();
}

// scripts/check-exe.sh reads the flags at these offsets.
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, Reserved1) == (sizeof(void*) == 8 ? 0x4E : 0x36));
