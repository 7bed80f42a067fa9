#include "FontWarmUp.h"

#ifdef ZOR_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>

#include <thread>

namespace {

// Joined by wait(), or at the end of the program when it ends before its
// first window.
struct Reader
{
    std::thread thread;
    ~Reader() { FontWarmUp::wait(); }
};

Reader g_reader;

} // namespace

namespace FontWarmUp {

void start()
{
    // The library loads its configuration once per process; Qt's later call
    // finds it loaded.
    if (!g_reader.thread.joinable())
        g_reader.thread = std::thread([] { FcInit(); });
}

void wait()
{
    if (g_reader.thread.joinable())
        g_reader.thread.join();
}

} // namespace FontWarmUp

#else

namespace FontWarmUp {

void start() {}
void wait() {}

} // namespace FontWarmUp

#endif
