#pragma once
// qxcollect.exe's options: "--name value", "--name=value" and the "/name:value"
// of Windows tools, names in any case. Anything else is a usage error.

#include "collect/collect_request.h"

#include <string>
#include <vector>

namespace qx {

struct UnattendedOptions {
    // The items and the event-log filter, with the collection page's defaults.
    CollectRequest Request;
    // The folder to collect into; "QXDIAG" is made inside it.
    std::wstring OutFolder;
    bool AllUsers = false;
    bool Zip = false;
    bool Quiet = false;
    bool Help = false;
};

struct ParsedCommandLine {
    bool Ok = false;
    UnattendedOptions Options;
    // The argument that is unknown or malformed.
    std::wstring Error;
};

// `arguments` without the program's own name.
ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace qx
