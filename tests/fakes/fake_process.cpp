// A program that only waits: copied under the names of the product's programs
// so that tests can end it by name. It leaves by itself after a minute, with
// exit code 1, so that a test that fails to end it leaves nothing behind for long.
#include <windows.h>

int wmain()
{
    ::Sleep(60 * 1000);
    return 1;
}
