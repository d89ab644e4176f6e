// The board profiles, one file each.
#pragma once

#include "sim/board.h"

namespace sim::boards {

Board Ich5();     // Intel 865 + ICH5 desktop: SMBus 8086:24D3 at 0:31.3
Board Piix4();    // Intel 440BX + PIIX4: SMBus in the power-management function 0:7.3
Board NoSmbus();  // a board whose south bridge the driver does not support
Board Ich4Mixed();  // ICH4 with empty slots between populated ones
Board Sis5595();    // SiS 5600 + 5595: the 5595 decision
Board Sis96x();     // SiS 645 + 961: SPD bus on the ACPI block's GPIO pins
Board Sis96xNoAcpi();  // SiS 645 + 961 whose BIOS left the ACPI base at 0
Board Sis630();     // SiS 630: SMBus host at ACPI base + 0x80, SDR modules
Board Sis964();     // SiS 760 + 964: SMBus host at ACPI base + 0xE0, DDR modules
Board Via586bRevE();    // VIA 586B revision 0x00: GPIO base in configuration dword 0x20
Board Via586bRevF();    // revision 0x01: base in dword 0x48
Board Via586bProdA();   // revision 0x10: base in dword 0x48
Board Via586bRev20();   // a later revision, 0x20: base in dword 0x48
Board Ali1535();    // ALi M1533 + M7101 with an empty base: the ALi base write
Board Amd756();     // AMD-750 + AMD-756: SMBus in the power-management function 0:7.3
Board Amd8111();    // dual Opteron + AMD-8111: SMBus in the ACPI function 0:7.3
Board Nforce();     // nForce 420D: SMBus 10DE:01B4 at 0:1.1, two I/O ranges
Board NforceRange14();  // the same board with the modules behind the range at 0x14
Board Nforce2();    // nForce2 Ultra 400: SMBus 10DE:0064 at 0:1.1
Board Ali1533Rev0();  // ALi M1533 revision 0: the base in M7101 word 0xE2
Board Ali1543();    // ALi M1533 rev C3 with the base the BIOS programmed
std::vector<Board> Via();  // VIA 596A/B, 686 revisions, VT8231, VT8235, VT8237R, VX900
std::vector<Board> NvidiaMcp();  // CK804, MCP55 (SPDs on channel 2), MCP79
Board Ali1563();    // ALi/ULi M1563: SMBus host in the south bridge 0:2.0
std::vector<Board> LaterIntel();  // ICH6 to the later PCHs and SoCs (DDR4 from the 100-series)
std::vector<Board> Piix4Compat();  // ServerWorks CSB5, ATI IXP400 and SB600-SB800, AMD FCHs
// Boards discovery tells by their SMBIOS identity (the 790FX boards, the DFI
// nForce4, an IBM PIIX4 machine), and a 440MX notebook.
std::vector<Board> Identified();

}  // namespace sim::boards
