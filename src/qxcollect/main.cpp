#include "qxcollect/unattended_run.h"

int wmain(int argc, wchar_t** argv)
{
    return qx::RunUnattended(std::vector<std::wstring>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
