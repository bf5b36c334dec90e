#include "platform/FolderAccess.h"

namespace {

Text TrusteeSid(Trustee trustee)
{
    switch (trustee) {
    case Trustee::System: return u"SY";
    case Trustee::Administrators: return u"BA";
    case Trustee::InteractiveUser: return u"IU";
    }
    return {};
}

Text Rights(Access access)
{
    switch (access) {
    case Access::FullControl: return u"FA";  // FILE_ALL_ACCESS
    case Access::ReadAndExecute: return u"0x1200a9";  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
    }
    return {};
}

} // namespace

Text SecurityDescriptorText(const ProtectedAccess& access)
{
    // Owner: the administrators. D:P: a protected access list, nothing inherited from the parent.
    Text text = u"O:BAD:P";
    // A: allow; OICI: inherited by files (object) and folders (container) made inside.
    for (const auto& entry : access)
        text += u"(A;OICI;" + Rights(entry.access) + u";;;" + TrusteeSid(entry.trustee) + u")";
    return text;
}
