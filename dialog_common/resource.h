// Resource identifiers of the program: the main dialog, its controls and the icon. The resource
// script and every part of the dialog side reach the controls through these names.
#pragma once

#define IDD_MAIN 101
#define IDI_LINKMEND 102

#define IDC_INET_DNS_ALT 1003
#define IDC_INET_DNS 1004
#define IDC_LOCAL_DNS_ALT 1005
#define IDC_LOCAL_DNS 1006
#define IDC_INET_USER 1007
#define IDC_INET_PASSWORD 1008
#define IDC_LOCAL_USER 1009
#define IDC_LOCAL_PASSWORD 1010
#define IDC_INET_AUTODNS 1011
#define IDC_INET_CREATE 1012
#define IDC_LOCAL_AUTODNS 1013
#define IDC_LOCAL_CREATE 1014
#define IDC_APPLY 1018
#define IDC_ENDPOINTS 1022
#define IDC_LINK_AUTHOR_MAIL 1023
#define IDC_INET_NOIPV6 1024
#define IDC_LOCAL_NOIPV6 1025
#define IDC_ENDPOINTS_SPIN 1026
#define IDC_LINK_LOCAL_FORUM 1028
#define IDC_LINK_AUTHOR_FORUM 1029
#define IDC_LINK_FRIEND_MAIL 1030
