// The window's class and its controls' identifiers: the program's own, and
// what a program that drives the window (its test under Wine) looks for.
#pragma once

#define DIMMIO_GUI_CLASS "dimmio-gui"
// The window's title once a read has ended (and before the next one starts).
#define DIMMIO_GUI_TITLE "dimmio"
#define DIMMIO_GUI_TITLE_READING "dimmio - reading the slots"

#define DIMMIO_GUI_ICON 1

#define IDC_REFRESH 101
#define IDC_SAVE 102
#define IDC_COPY 103
#define IDC_DRIVER 104
#define IDC_PROGRESS 105
#define IDC_STATUS 106
#define IDC_TABS 107
#define IDC_SLOTS 108
#define IDC_FACTS 109
#define IDC_BYTES 110
#define IDC_SMBIOS 111
#define IDC_PCI 112
