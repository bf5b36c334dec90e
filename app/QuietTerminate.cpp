// What std::terminate does when nothing else was set. libstdc++'s own handler demangles the
// exception's type name for a message on standard error, which a GUI program does not have;
// defining it here keeps the demangler and the C runtime's formatted printing out of the exe
// (about 70 KB of the 32-bit one). Ending the process is what both handlers do.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
