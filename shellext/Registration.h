#pragma once
// What DllRegisterServer and DllUnregisterServer write and remove.

#include <string>

#include "shellext/com/ComTypes.h"

namespace quarva::shellext {

// The approvals of shell extensions, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kApprovedKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// Registers the five classes and the type library for the library at
// `modulePath` (written as it is: there are no short path forms here).
com::HRESULT registerServer(const std::string& modulePath);
// Removes what registerServer wrote; keys that other software shares stay.
com::HRESULT unregisterServer();

}  // namespace quarva::shellext
