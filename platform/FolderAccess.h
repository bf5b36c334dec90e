#pragma once
// Who may do what in a folder that belongs to the administrators.
#include "platform/Text.h"

#include <vector>

enum class Trustee { System, Administrators, InteractiveUser };
enum class Access { FullControl, ReadAndExecute };

// One entry that allows; the files and folders later made in the folder inherit it.
struct AccessEntry {
    Trustee trustee;
    Access access;
    bool operator==(const AccessEntry&) const = default;
};

// A folder's whole access list: nothing of its parent's list flows into it, and its owner is the
// administrators' group, so no one else may change the list.
using ProtectedAccess = std::vector<AccessEntry>;

// The owner and access list in the system's security descriptor language (SDDL), which the
// Win32 side hands to the system as it is and the tests compare with what they read back.
Text SecurityDescriptorText(const ProtectedAccess& access);
