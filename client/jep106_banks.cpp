// The maker names of JEDEC JEP106, in code order: banks 1-8, 126 makers each.
#include <iterator>

#include "jep106.h"

namespace dimmio::jep106 {

namespace {

// clang-format off
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
// clang-format on

// clang-format off
constexpr const char* kBank2[] = {
    "Cirrus Logic", "National Instruments", "ILC Data Device", "Alcatel Mietec", "Micro Linear",
    "Univ. of NC", "JTAG Technologies", "BAE Systems (Loral)", "Nchip", "Galileo Technology",
    "Bestlink Systems", "Graychip", "GENNUM", "VideoLogic", "Robert Bosch", "Chip Express",
    "DATARAM", "United Microelectronics", "TCSI", "Smart Modular", "Hughes Aircraft",
    "Lanstar Semiconductor", "Qlogic", "Kingston", "Music Semi", "Ericsson Components", "SpaSE",
    "Eon Silicon Devices", "Integrated Silicon Solution (ISSI)", "DoD",
        "Integrated Memories Technology",
    "Corollary", "Dallas Semiconductor", "Omnivision", "EIV (Switzerland)", "Novatel Wireless",
    "Zarlink (Mitel)", "Clearpoint", "Cabletron", "STEC (Silicon Technology)", "Vanguard",
    "Hagiwara Sys-Com", "Vantis", "Celestica", "Century", "Hal Computers", "Rohm",
    "Juniper Networks", "Libit Signal Processing", "Mushkin Enhanced Memory",
        "Tundra Semiconductor",
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
// clang-format on

// clang-format off
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
// clang-format on

// clang-format off
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
// clang-format on

// clang-format off
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
    "Credence Systems", "Genesis Microchip", "Vihana", "WIS Technologies",
        "GateChange Technologies",
    "High Density Devices", "Synopsys", "Gigaram", "Enigma Semiconductor", "Century Micro",
    "Icera Semiconductor", "Mediaworks Integrated Systems", "O'Neil Product Development",
    "Supreme Top Technology", "MicroDisplay", "Team Group", "Sinett", "Toshiba Corporation",
    "Tensilica", "SiRF Technology", "Bacoc", "SMaL Camera Technologies", "Thomson SC",
    "Airgo Networks", "Wisair", "SigmaTel", "Arkados", "Compete IT", "Eudar Technology",
    "Focus Enhancements", "Xyratex",
};
// clang-format on

// clang-format off
constexpr const char* kBank6[] = {
    "Specular Networks", "Patriot Memory (PDP Systems)", "U-Chip Technology", "Silicon Optix",
    "Greenfield Networks", "CompuRAM GmbH", "Stargen", "NetCell", "Excalibrus Technologies",
    "SCM Microsystems", "Xsigo Systems", "CHIPS & Systems", "Tier 1 Multichip Solutions",
    "CWRL Labs", "Teradici", "Gigaram", "g2 Microsystems", "PowerFlash Semiconductor", "P.A. Semi",
    "NovaTech Solutions S.A.", "c2 Microsystems", "Level5 Networks", "COS Memory AG",
    "Innovasic Semiconductor", "02IC", "Tabula", "Crucial Technology", "Chelsio Communications",
    "Solarflare Communications", "Xambala", "EADS Astrium", "Terra Semiconductor", "Imaging Works",
    "Astute Networks", "Tzero", "Emulex", "Power-One", "Pulse~LINK", "Hon Hai Precision Industry",
    "White Rock Networks", "Telegent Systems USA", "Atrua Technologies", "Acbel Polytech", "eRide",
    "ULi Electronics", "Magnum Semiconductor", "neoOne Technology", "Connex Technology",
    "Stream Processors", "Focus Enhancements", "Telecis Wireless", "uNav Microelectronics",
    "Tarari", "Ambric", "Newport Media", "VMTS", "Enuclia Semiconductor", "Virtium Technology",
    "Solid State System", "Kian Tech", "Artimi", "Power Quotient International",
    "Avago Technologies", "ADTechnology", "Sigma Designs", "SiCortex", "Ventura Technology Group",
    "eASIC", "M.H.S. SAS", "Micro Star International", "Rapport", "Makway International",
    "Broad Reach Engineering", "Semiconductor Mfg Intl", "SiConnect", "FCI USA",
    "Validity Sensors", "Coney Technology", "Spans Logic", "Neterion", "Qimonda", "New Japan Radio",
    "Velogix", "Montalvo Systems", "iVivity", "Walton Chaintech", "AENEON", "Lorom Industrial",
    "Radiospire Networks", "Sensio Technologies", "Nethra Imaging", "Hexon Technology",
    "CompuStocx (CSX)", "Methode Electronics", "Connect One", "Opulan Technologies",
    "Septentrio NV", "Goldenmars Technology", "Kreton", "Cochlear", "Altair Semiconductor",
    "NetEffect", "Spansion", "Taiwan Semiconductor Mfg", "Emphany Systems",
    "ApaceWave Technologies", "Mobilygen", "Tego", "Cswitch", "Haier (Beijing) IC Design",
    "MetaRAM", "Axel Electronics", "Tilera", "Aquantia", "Vivace Semiconductor", "Redpine Signals",
    "Octalica", "InterDigital Communications", "Avant Technology", "Asrock", "Availink", "Quartics",
    "Element CXI", "Innovaciones Microelectronicas", "VeriSilicon Microelectronics", "W5 Networks",
};
// clang-format on

// clang-format off
constexpr const char* kBank7[] = {
    "MOVEKING", "Mavrix Technology", "CellGuide", "Faraday Technology", "Diablo Technologies",
    "Jennic", "Octasic", "Molex", "3Leaf Networks", "Bright Micron Technology", "Netxen",
    "NextWave Broadband", "DisplayLink", "ZMOS Technology", "Tec-Hill", "Multigig", "Amimon",
    "Euphonic Technologies", "BRN Phoenix", "InSilica", "Ember", "Avexir Technologies", "Echelon",
    "Edgewater Computer Systems", "XMOS Semiconductor", "GENUSION", "Memory Corp NV",
    "SiliconBlue Technologies", "Rambus", "Andes Technology", "Coronis Systems",
    "Achronix Semiconductor", "Siano Mobile Silicon", "Semtech", "Pixelworks",
    "Gaisler Research AB", "Teranetics", "Toppan Printing", "Kingxcon",
    "Silicon Integrated Systems", "I-O Data Device", "NDS Americas", "Solomon Systech",
    "On Demand Microelectronics", "Amicus Wireless", "SMARDTV SNC", "Comsys Communication",
    "Movidia", "Javad GNSS", "Montage Technology Group", "Trident Microsystems", "Super Talent",
    "Optichron", "Future Waves UK", "SiBEAM", "Inicore", "Virident Systems", "M2000",
    "ZeroG Wireless", "Gingle Technology", "Space Micro", "Wilocity", "Novafora", "iKoa",
    "ASint Technology", "Ramtron", "Plato Networks", "IPtronics AS", "Infinite-Memories",
    "Parade Technologies", "Dune Networks", "GigaDevice Semiconductor", "Modu", "CEITEC",
    "Northrop Grumman", "XRONET", "Sicon Semiconductor AB", "Atla Electronics", "TOPRAM Technology",
    "Silego Technology", "Kinglife", "Ability Industries",
    "Silicon Power Computer & Communications", "Augusta Technology", "Nantronics Semiconductors",
    "Hilscher Gesellschaft", "Quixant", "Percello", "NextIO", "Scanimetrics", "FS-Semi", "Infinera",
    "SandForce", "Lexar Media", "Teradyne", "Memory Exchange", "Suzhou Smartek Electronics",
    "Avantium", "ATP Electronics", "Valens Semiconductor", "Agate Logic", "Netronome", "Zenverge",
    "N-trig", "SanMax Technologies", "Contour Semiconductor", "TwinMOS", "Silicon Systems",
    "V-Color Technology", "Certicom", "JSC ICC Milandr", "PhotoFast Global", "InnoDisk",
    "Muscle Power", "Energy Micro", "Innofidei", "CopperGate Communications",
    "Holtek Semiconductor", "Myson Century", "FIDELIX", "Red Digital Cinema", "Densbits Technology",
    "Zempro", "MoSys", "Provigent", "Triad Semiconductor",
};
// clang-format on

// clang-format off
constexpr const char* kBank8[] = {
    "Siklu Communication", "A Force Manufacturing", "Strontium", "ALi Corp (Abilis Systems)",
    "Siglead", "Ubicom", "Unifosa", "Stretch", "Lantiq Deutschland GmbH", "Visipro", "EKMemory",
    "Microelectronics Institute ZTE", "u-blox AG", "Carry Technology", "Nokia",
    "King Tiger Technology", "Sierra Wireless", "HT Micron", "Albatron Technology",
    "Leica Geosystems AG", "BroadLight", "AEXEA", "ClariPhy Communications", "Green Plug",
    "Design Art Networks", "Mach Xtreme Technology", "ATO Solutions", "Ramsta",
    "Greenliant Systems", "Teikon", "Antec Hadron", "NavCom Technology",
    "Shanghai Fudan Microelectronics", "Calxeda", "JSC EDC Electronics", "Kandit Technology",
    "Ramos Technology", "Goldenmars Technology", "XeL Technology", "Newzone",
    "ShenZhen MercyPower Tech", "Nanjing Yihuo Technology", "Nethra Imaging",
    "SiTel Semiconductor BV", "SolidGear", "Topower Computer Ind", "Wilocity", "Profichip GmbH",
    "Gerad Technologies", "Ritek", "Gomos Technology", "Memoright", "D-Broad",
    "HiSilicon Technologies", "Syndiant", "Enverv", "Cognex", "Xinnova Technology", "Ultron AG",
    "Concord Idea", "AIM", "Lifetime Memory Products", "Ramsway", "Recore Systems B.V.",
    "Haotian Jinshibo Science Tech", "Being Advanced Memory", "Adesto Technologies",
    "Giantec Semiconductor", "HMD Electronics AG", "Gloway International (HK)", "Kingcore",
    "Anucell Technology Holding", "Accord Software & Systems", "Active-Semi", "Denso", "TLSI",
    "Qidan", "Mustang", "Orca Systems", "Passif Semiconductor",
    "GigaDevice Semiconductor (Beijing)", "Memphis Electronic", "Beckhoff Automation GmbH",
    "Harmony Semiconductor", "Air Computers SRL", "TMT Memory", "Eorex", "Xingtera", "Netsol",
    "Bestdon Technology", "Baysand", "Uroad Technology", "Wilk Elektronik S.A.", "AAI", "Harman",
    "Berg Microelectronics", "ASSIA", "Visiontek Products", "OCMEMORY", "Welink Solution",
    "Shark Gaming", "Avalanche Technology", "R&D Center ELVEES OJSC", "KingboMars Technology",
    "High Bridge Solutions Industria Eletronica", "Transcend Technology", "Everspin Technologies",
    "Hon-Hai Precision", "Smart Storage Systems", "Toumaz Group", "Zentel Electronics",
    "Panram International", "Silicon Space Technology", "LITE-ON IT", "Inuitive", "HMicro",
    "BittWare", "GLOBALFOUNDRIES", "ACPI Digital", "Annapurna Labs", "AcSiP Technology",
    "Idea! Electronic Systems", "Gowe Technology", "Hermes Testing Solutions", "Positivo BGH",
    "Intelligence Silicon Technology",
};
// clang-format on

static_assert(std::size(kBank1) == 126 && std::size(kBank2) == 126 && std::size(kBank3) == 126 &&
              std::size(kBank4) == 126 && std::size(kBank5) == 126 && std::size(kBank6) == 126 &&
              std::size(kBank7) == 126 && std::size(kBank8) == 126);

}  // namespace

const char* MakerName(uint8_t bank, uint8_t number) {
  static constexpr const char* const* kBanksInOrder[] = {kBank1, kBank2, kBank3, kBank4,
                                                         kBank5, kBank6, kBank7, kBank8};
  static_assert(std::size(kBanksInOrder) == kBanks);
  if (number < 1 || number > 126 || bank < 1 || bank > kBanks) return nullptr;
  return kBanksInOrder[bank - 1][number - 1];
}

}  // namespace dimmio::jep106
