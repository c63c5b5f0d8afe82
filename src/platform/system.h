#pragma once
// Facts about the running Windows.

namespace qx {

// Windows Vista (6.0) or later, by VerifyVersionInfoW.
bool IsVistaOrLater();

}  // namespace qx
