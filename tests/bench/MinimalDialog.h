#pragma once
// Resource ids of the baseline program that shows one dialog from a template.
#define IDD_MINIMAL 100
#define IDC_MINIMAL_TEXT 1000
