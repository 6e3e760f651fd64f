// The link table and the shell call that opens a link's address. The address comes from the
// control's id: the text and HREF inside a link control are only what the user sees.
#include "contact_links.h"

#include <shellapi.h>

#include "resource.h"

namespace {

struct ContactLink {
    UINT_PTR id;
    const wchar_t* address;
};

const ContactLink kContactLinks[] = {
    {IDC_LINK_AUTHOR_MAIL, L"mailto:author@example.com?subject=linkmend v.2.03"},
    {IDC_LINK_LOCAL_FORUM, L"http://lan.example/forum/viewtopic.php?f=9&t=15"},
    {IDC_LINK_AUTHOR_FORUM, L"http://www.example.net/forum/viewtopic.php?f=9&t=15"},
    {IDC_LINK_FRIEND_MAIL, L"mailto:pc@example.org"},
};

} // namespace

void OpenContactLink(HWND dialog, const NMHDR* header) {
    if (header->code != static_cast<UINT>(NM_CLICK)) return;
    for (const ContactLink& link : kContactLinks) {
        if (link.id == header->idFrom) {
            ShellExecuteW(dialog, L"open", link.address, nullptr, nullptr, SW_SHOW);
            return;
        }
    }
}
