// The board profiles, one file each.
#pragma once

#include "sim/board.h"

namespace sim::boards {

Board Ich5();     // Intel 865 + ICH5 desktop: SMBus 8086:24D3 at 0:31.3
Board Piix4();    // Intel 440BX + PIIX4: SMBus in the power-management function 0:7.3
Board NoSmbus();  // a board whose south bridge the driver does not support
Board Ich4Mixed();  // ICH4 with empty slots between populated ones
Board Sis5595();    // SiS 5600 + 5595: the 5595 decision
Board Sis96x();     // SiS 645 + 961: the 96x decision
Board Ali1535();    // ALi M1533 + M7101 with an empty base: the ALi base write
Board Ali1533Rev0();  // ALi M1533 revision 0: the base in M7101 word 0xE2
Board Ali1543();    // ALi M1533 rev C3 with the base the BIOS programmed
std::vector<Board> Via();  // VIA 596A/B, 686 revisions, VT8231, VT8235

}  // namespace sim::boards
