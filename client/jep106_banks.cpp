// The maker names of JEDEC JEP106, in code order. Banks 1-5 are complete
// (126 makers each); of banks 6-8 the table holds the memory makers only.
#include <iterator>

#include "jep106.h"

namespace dimmio::jep106 {

namespace {

constexpr const char* kBank1[] = {
    "AMD", "AMI", "Fairchild", "Fujitsu", "GTE", "Harris", "Hitachi", "Inmos", "Intel", "I.T.T.",
    "Intersil", "Monolithic Memories", "Mostek", "Freescale (Motorola)", "National", "NEC",
    "RCA", "Raytheon", "Conexant (Rockwell)", "Seeq", "NXP (Philips)", "Synertek",
    "Texas Instruments", "Toshiba", "Xicor", "Zilog", "Eurotechnique", "Mitsubishi",
    "Lucent (AT&T)", "Exel", "Atmel", "STMicroelectronics (SGS/Thomson)", "Lattice Semiconductor",
    "NCR", "Wafer Scale Integration", "IBM", "Tristar", "Visic", "International CMOS Technology",
    "SSSI", "Microchip Technology", "Ricoh", "VLSI", "Micron", "Hynix", "OKI", "ACTEL",
    "Sharp", "Catalyst", "Panasonic", "IDT", "Cypress", "DEC", "LSI Logic", "Zarlink (Plessey)",
    "UTMC", "Thinking Machine", "Thomson CSF", "Integrated CMOS (Vertex)", "Honeywell",
    "Tektronix", "Oracle (Sun Microsystems)", "Silicon Storage Technology", "Mosel Vitelic",
    "Infineon", "Macronix", "Xerox", "Plus Logic", "Western Digital (SanDisk)",
    "Elan Circuit Technology", "European Silicon Structures", "Apple Computer", "Xilinx",
    "Compaq", "Protocol Engines", "SCI", "Seiko Instruments", "Samsung", "I3 Design System",
    "Klic", "Crosspoint Solutions", "Alliance Semiconductor", "Tandem", "Hewlett-Packard",
    "Integrated Silicon Solutions", "Brooktree", "New Media", "MHS Electronic",
    "Performance Semiconductors", "Winbond", "Kawasaki Steel", "Bright Micro", "TECMAR", "Exar",
    "PCMCIA", "LG Semicon (Goldstar)", "Northern Telecom", "Sanyo", "Array Microsystems",
    "Crystal Semiconductor", "Analog Devices", "PMC-Sierra", "Asparix", "Convex Computer",
    "Quality Semiconductor", "Nimbus Technology", "Transwitch", "Micronas (ITT Intermetall)",
    "Cannon", "Altera", "NEXCOM", "Qualcomm", "Sony", "Cray Research", "AMS (Austria Micro)",
    "Vitesse", "Aster Electronics", "Bay Networks (Synoptic)", "Zentrum (ZMD)", "TRW", "Thesys",
    "Solbourne Computer", "Allied-Signal", "Dialog Semiconductor", "Media Vision", "Numonyx",
};

constexpr const char* kBank2[] = {
    "Cirrus Logic", "National Instruments", "ILC Data Device", "Alcatel Mietec", "Micro Linear",
    "Univ. of NC", "JTAG Technologies", "BAE Systems (Loral)", "Nchip", "Galileo Technology",
    "Bestlink Systems", "Graychip", "GENNUM", "VideoLogic", "Robert Bosch", "Chip Express",
    "DATARAM", "United Microelectronics", "TCSI", "Smart Modular", "Hughes Aircraft",
    "Lanstar Semiconductor", "Qlogic", "Kingston", "Music Semi", "Ericsson Components", "SpaSE",
    "Eon Silicon Devices", "Integrated Silicon Solution (ISSI)", "DoD", "Integrated Memories Technology",
    "Corollary", "Dallas Semiconductor", "Omnivision", "EIV (Switzerland)", "Novatel Wireless",
    "Zarlink (Mitel)", "Clearpoint", "Cabletron", "STEC (Silicon Technology)", "Vanguard",
    "Hagiwara Sys-Com", "Vantis", "Celestica", "Century", "Hal Computers", "Rohm",
    "Juniper Networks", "Libit Signal Processing", "Mushkin Enhanced Memory", "Tundra Semiconductor",
    "Adaptec", "LightSpeed Semiconductor", "ZSP", "AMIC Technology", "Adobe Systems", "Dynachip",
    "PNY Technologies", "Newport Digital", "MMC Networks", "T Square", "Seiko Epson", "Broadcom",
    "Viking Components", "V3 Semiconductor", "Flextronics (Orbit Semiconductor)",
    "Suwa Electronics", "Transmeta", "Micron CMS", "American Computer & Digital Components",
    "Enhance 3000", "Tower Semiconductor", "CPU Design", "Price Point", "Maxim Integrated Products",
    "Tellabs", "Centaur Technology", "Unigen", "Transcend Information", "Memory Card Technology",
    "CKD", "Capital Instruments", "Aica Kogyo", "Linvex Technology", "MSC Vertriebs",
    "AKM Company", "Dynamem", "NERA ASA", "GSI Technology", "Dane-Elec (C Memory)",
    "Acorn Computers", "Lara Technology", "Oak Technology", "Itec Memory", "Tanisys Technology",
    "Truevision", "Wintec Industries", "Super PC Memory", "MGV Memory", "Galvantech",
    "Gadzoox Networks", "Multi Dimensional Consulting", "GateField", "Integrated Memory System",
    "Triscend", "XaQti", "Goldenram", "Clear Logic", "Cimaron Communications",
    "Nippon Steel Semiconductor", "Advantage Memory", "AMCC", "LeCroy", "Yamaha",
    "Digital Microwave", "NetLogic Microsystems", "MIMOS Semiconductor", "Advanced Fibre",
    "BF Goodrich Data", "Epigram", "Acbel Polytech", "Apacer Technology", "Admor Memory",
    "Foxconn", "Quadratics Superconductor", "3COM",
};

constexpr const char* kBank3[] = {
    "Camintonn", "ISOA", "Agate Semiconductor", "ADMtek", "HYPERTEC", "Adhoc Technologies",
    "MOSAID Technologies", "Ardent Technologies", "Switchcore", "Cisco Systems",
    "Allayer Technologies", "WorkX AG (Wichman)", "Oasis Semiconductor", "Novanet Semiconductor",
    "E-M Solutions", "Power General", "Advanced Hardware Architecture", "Inova Semiconductors",
    "Telocity", "Delkin Devices", "Symagery Microsystems", "C-Port", "SiberCore Technologies",
    "Southland Microsystems", "Malleable Technologies", "Kendin Communications",
    "Great Technology Microcomputer", "Sanmina", "HADCO", "Corsair", "Actrans System",
    "ALPHA Technologies", "Silicon Laboratories (Cygnal)", "Artesyn Technologies",
    "Align Manufacturing", "Peregrine Semiconductor", "Chameleon Systems", "Aplus Flash Technology",
    "MIPS Technologies", "Chrysalis ITS", "ADTEC", "Kentron Technologies", "Win Technologies",
    "Tezzaron Semiconductor", "Extreme Packet Devices", "RF Micro Devices", "Siemens AG",
    "Sarnoff", "Itautec SA", "Radiata", "Benchmark Electronics (AVEX)", "Legend", "SpecTek",
    "Hi/fn", "Enikia", "SwitchOn Networks", "AANetcom", "Micro Memory Bank", "ESS Technology",
    "Virata", "Excess Bandwidth", "West Bay Semiconductor", "DSP Group", "Newport Communications",
    "Chip2Chip", "Phobos", "Intellitech", "Nordic VLSI ASA", "Ishoni Networks", "Silicon Spice",
    "Alchemy Semiconductor", "Agilent Technologies", "Centillium Communications", "W.L. Gore",
    "HanBit Electronics", "GlobeSpan", "Element 14", "Pycon", "Saifun Semiconductors", "Sibyte",
    "MetaLink Technologies", "Feiya Technology", "I & C Technology", "Shikatronics", "Elektrobit",
    "Megic", "Com-Tier", "Malaysia Micro Solutions", "Hyperchip", "Gemstone Communications",
    "Anadigm (Anadyne)", "3ParData", "Mellanox Technologies", "Tenx Technologies", "Helix AG",
    "Domosys", "Skyup Technology", "HiNT", "Chiaro", "MDT Technologies", "Exbit Technology",
    "Integrated Technology Express", "AVED Memory", "Legerity", "Jasmine Networks",
    "Caspian Networks", "nCUBE", "Silicon Access Networks", "FDK", "High Bandwidth Access",
    "MultiLink Technology", "BRECIS", "World Wide Packets", "APW", "Chicory Systems",
    "Xstream Logic", "Fast-Chip", "Zucotto Wireless", "Realchip", "Galaxy Power", "eSilicon",
    "Morphics Technology", "Accelerant Networks", "Silicon Wave", "SandCraft", "Elpida",
};

constexpr const char* kBank4[] = {
    "Solectron", "Optosys Technologies", "Buffalo (Melco)", "TriMedia Technologies",
    "Cyan Technologies", "Global Locate", "Optillion", "Terago Communications",
    "Ikanos Communications", "Princeton Technology", "Nanya", "Elite Flash Storage", "Mysticom",
    "LightSand Communications", "ATI Technologies", "Agere Systems", "NeoMagic", "AuroraNetics",
    "Golden Empire", "Mushkin", "Tioga Technologies", "Netlist", "TeraLogic",
    "Cicada Semiconductor", "Centon Electronics", "Tyco Electronics", "Magis Works", "Zettacom",
    "Cogency Semiconductor", "Chipcon AS", "Aspex Technology", "F5 Networks",
    "Programmable Silicon Solutions", "ChipWrights", "Acorn Networks", "Quicklogic",
    "Kingmax Semiconductor", "BOPS", "Flasys", "BitBlitz Communications", "eMemory Technology",
    "Procket Networks", "Purple Ray", "Trebia Networks", "Delta Electronics",
    "Onex Communications", "Ample Communications", "Memory Experts International",
    "Astute Networks", "Azanda Network Devices", "Dibcom", "Tekmos", "API NetWorks",
    "Bay Microsystems", "Firecron", "Resonext Communications", "Tachys Technologies",
    "Equator Technology", "Concept Computer", "SILCOM", "3Dlabs", "c't Magazine",
    "Sanera Systems", "Silicon Packets", "Viasystems Group", "Simtek", "Semicon Devices Singapore",
    "Satron Handelsges", "Improv Systems", "INDUSYS", "Corrent", "Infrant Technologies",
    "Ritek", "empowerTel Networks", "Hypertec", "Cavium Networks", "PLX Technology",
    "Massana Design", "Intrinsity", "Valence Semiconductor", "Terawave Communications",
    "IceFyre Semiconductor", "Primarion", "Picochip Designs", "Silverback Systems",
    "Jade Star Technologies", "Pijnenburg Securealink", "takeMS (Ultron AG)",
    "Cambridge Silicon Radio", "Swissbit", "Nazomi Communications", "eWave System",
    "Rockwell Collins", "Picocel (Paion)", "Alphamosaic", "Sandburst", "SiCon Video",
    "NanoAmp Solutions", "Ericsson Technology", "PrairieComm", "Mitac International",
    "Layer N Networks", "MtekVision (Atsana)", "Allegro Networks", "Marvell Semiconductors",
    "Netergy Microelectronic", "NVIDIA", "Internet Machines", "Memorysolution",
    "Litchfield Communication", "Accton Technology", "Teradiant Networks", "Scaleo Chip",
    "Cortina Systems", "RAM Components", "Raqia Networks", "ClearSpeed", "Matsushita Battery",
    "Xelerated", "SimpleTech", "Utron Technology", "Astec International", "AVM",
    "Redux Communications", "Dot Hill Systems", "TeraChip",
};

constexpr const char* kBank5[] = {
    "T-RAM", "Innovics Wireless", "Teknovus", "KeyEye Communications", "Runcom Technologies",
    "RedSwitch", "Dotcast", "Silicon Mountain Memory", "Signia Technologies", "Pixim",
    "Galazar Networks", "White Electronic Designs", "Patriot Scientific", "Neoaxiom",
    "3Y Power Technology", "Europe Technologies", "Potentia Power Systems", "C-guys",
    "Digital Communications Technology", "Silicon-Based Technology", "Fulcrum Microsystems",
    "Positivo Informatica", "XIOtech", "PortalPlayer", "Zhiying Software", "ParkerVision",
    "Phonex Broadband", "Skyworks Solutions", "Entropic Communications", "Intelligent Memory",
    "Zensys", "Legend Silicon", "Sci-worx", "SMSC (Standard Microsystems)", "Renesas",
    "Raza Microelectronics", "Phyworks", "MediaTek", "Non-cents Productions", "US Modular",
    "Wintegra", "Mathstar", "StarCore", "Oplus Technologies", "Mindspeed", "Just Young Computer",
    "Radia Communications", "OCZ", "Emuzed", "LOGIC Devices", "Inphi", "Quake Technologies",
    "Vixel", "SolusTek", "Kongsberg Maritime", "Faraday Technology", "Altium", "Insyte", "ARM",
    "DigiVision", "Vativ Technologies", "Endicott Interconnect Technologies", "Pericom",
    "Bandspeed", "LeWiz Communications", "CPU Technology", "Ramaxel Technology", "DSP Group",
    "Axis Communications", "Legacy Electronics", "Chrontel", "Powerchip Semiconductor",
    "MobilEye Technologies", "Excel Semiconductor", "A-DATA Technology", "VirtualDigm",
    "G.Skill", "Quanta Computer", "Yield Microelectronics", "Afa Technologies",
    "KINGBOX Technology", "Ceva", "iStor Networks", "Advance Modules", "Microsoft",
    "Open-Silicon", "Goal Semiconductor", "ARC International", "Simmtec", "Metanoia",
    "Key Stream", "Lowrance Electronics", "Adimos", "SiGe Semiconductor", "Fodus Communications",
    "Credence Systems", "Genesis Microchip", "Vihana", "WIS Technologies", "GateChange Technologies",
    "High Density Devices", "Synopsys", "Gigaram", "Enigma Semiconductor", "Century Micro",
    "Icera Semiconductor", "Mediaworks Integrated Systems", "O'Neil Product Development",
    "Supreme Top Technology", "MicroDisplay", "Team Group", "Sinett", "Toshiba Corporation",
    "Tensilica", "SiRF Technology", "Bacoc", "SMaL Camera Technologies", "Thomson SC",
    "Airgo Networks", "Wisair", "SigmaTel", "Arkados", "Compete IT", "Eudar Technology",
    "Focus Enhancements", "Xyratex",
};

static_assert(std::size(kBank1) == 126 && std::size(kBank2) == 126 && std::size(kBank3) == 126 &&
              std::size(kBank4) == 126 && std::size(kBank5) == 126);

struct Named {
  uint8_t Bank;
  uint8_t Number;
  const char* Name;
};

// The memory makers of banks 6 and up.
constexpr Named kHigherBanks[] = {
    {6, 2, "Patriot Memory"},
    {6, 27, "Crucial Technology"},
    {6, 81, "Qimonda"},
};

}  // namespace

const char* MakerName(uint8_t bank, uint8_t number) {
  if (number < 1 || number > 126) return nullptr;
  static constexpr const char* const* kFull[] = {kBank1, kBank2, kBank3, kBank4, kBank5};
  if (bank >= 1 && bank <= std::size(kFull)) return kFull[bank - 1][number - 1];
  for (const Named& named : kHigherBanks) {
    if (named.Bank == bank && named.Number == number) return named.Name;
  }
  return nullptr;
}

}  // namespace dimmio::jep106
