// Control ids of the stand-in's broadband connection wizard.
#pragma once

#define IDD_BROADBAND_WIZARD 100
#define IDC_WIZARD_NAME 1001
