// The decoded module as a listing for people.
#include <cstdio>

#include "dimmio/spd.h"
#include "hex_text.h"

namespace dimmio {

namespace {

// Picoseconds as nanoseconds, without trailing zeros: "7.5 ns", "3.75 ns".
std::string Ns(uint32_t ps) {
  std::string text = std::to_string(ps / 1000);
  if (ps % 1000 != 0) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03u", ps % 1000);
    std::string digits = fraction;
    while (digits.back() == '0') digits.pop_back();
    text += digits;
  }
  return text + " ns";
}

// A time the module may leave unstated (0).
std::string NsOrNone(uint32_t ps) {
  return ps != 0 ? Ns(ps) : "not stated";
}

std::string SetupHold(uint32_t setupPs, uint32_t holdPs) {
  return NsOrNone(setupPs) + " setup, " + NsOrNone(holdPs) + " hold";
}

std::string DateText(const SpdFacts& f) {
  char date[96];
  if (f.DateBcd) {
    std::snprintf(date, sizeof date, "year %u, week %u", f.Year, f.Week);
  } else {
    std::snprintf(date, sizeof date,
                  "year 0x%02X, week 0x%02X as stored (not a BCD year and week 1-53)", f.YearByte,
                  f.WeekByte);
  }
  return date;
}

std::string Tenths(uint16_t tenths) {
  return CasText(tenths).substr(2);  // "2.5" of "CL2.5"
}

std::string Geometry(const SpdFacts& f, int rank) {
  return std::to_string(f.RowBits[rank]) + " row x " + std::to_string(f.ColumnBits[rank]) +
         " column address bits x " + std::to_string(f.DeviceBanks) + " banks x " +
         std::to_string(f.DataWidth) + " bits";
}

std::string CrcText(const std::string& rule, uint16_t stored, uint16_t computed) {
  return stored == computed ? "ok (" + rule + ": " + HexText(stored, 4) + ")"
                            : "WRONG: " + rule + " stored " + HexText(stored, 4) + ", computed " +
                                  HexText(computed, 4);
}

// The line the type's own check gives; "" where no rule applies.
std::string CheckText(const SpdFacts& f) {
  if (f.CheckRule == SpdCheckRule::Crc16) {
    return CrcText("CRC-16 of bytes 0-" + std::to_string(f.CrcLastByte), f.StoredCrc,
                   f.ComputedCrc);
  }
  if (f.CheckRule != SpdCheckRule::Sum) return "";
  return f.ChecksumOk() ? "ok (" + HexText(f.StoredChecksum, 2) + ")"
                        : "WRONG: stored " + HexText(f.StoredChecksum, 2) + ", computed " +
                              HexText(f.ComputedChecksum, 2);
}

std::string MakerText(const JedecMaker& m) {
  if (m.Bank == 0) return "not stated";
  return (m.Name.empty() ? std::string(m.ParityOk ? "unknown maker" : "invalid code") : m.Name) +
         " (JEDEC bank " + std::to_string(m.Bank) + ", code " + HexText(m.Code, 2) +
         (m.ParityOk ? ")" : ", parity bit wrong)");
}

std::string SizeText(const SpdFacts& f) {
  if (f.Ranks == 0) return "unknown (no ranks stated)";
  std::string text = std::to_string(f.CapacityMb) + " MB: ";
  if (f.Asymmetric) {
    text += std::to_string(f.Ranks) + " ranks, asymmetric: " + std::to_string(f.RankMb[0]) +
            " MB and " + std::to_string(f.RankMb[1]) + " MB";
  } else {
    text += std::to_string(f.Ranks) + (f.Ranks == 1 ? " rank of " : " ranks of ") +
            std::to_string(f.RankMb[0]) + " MB";
  }
  const char* densityByte = FieldsOf(f.Memory).Ddr3 ? "byte 4" : "byte 31";
  text += f.DensityMatches ? std::string(" (") + densityByte + " agrees)"
                           : std::string(" (") + densityByte + ", " + HexText(f.DensityByte, 2) +
                                 ", states other sizes)";
  return text;
}

std::string ErrorCheckText(SpdErrorCheck check) {
  switch (check) {
    case SpdErrorCheck::Ecc: return "ECC";
    case SpdErrorCheck::Parity: return "parity (not ECC)";
    case SpdErrorCheck::None: break;
  }
  return "none";
}

std::string Join(const std::vector<std::string>& words, const char* separator) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

std::string Latencies(const std::vector<uint16_t>& tenths) {
  std::vector<std::string> latencies;
  for (uint16_t cas : tenths) latencies.push_back(CasText(cas));
  return latencies.empty() ? "none stated" : Join(latencies, " ");
}

// Millivolts as volts without trailing zeros: "1.35 V", "1.2 V".
std::string Volts(uint16_t mv) {
  std::string text = Ns(mv);
  return text.substr(0, text.size() - 3) + " V";
}

std::string XmpHeader(const SpdFacts& f) {
  std::string text =
      "revision " + std::to_string(f.XmpRevision >> 4) + "." + std::to_string(f.XmpRevision & 0x0F);
  if (f.Xmp.empty()) return text + ", no profile enabled";
  text += f.Xmp.size() == 1 ? ", profile " : ", profiles ";
  for (size_t i = 0; i < f.Xmp.size(); ++i)
    text += (i == 0 ? "" : " and ") + std::to_string(f.Xmp[i].Number);
  return text;
}

// A profile's clock with its latencies and voltage, then its latencies and
// times, one line each.
std::vector<std::string> XmpProfileText(const SpdXmpProfile& p, bool ddr4) {
  const SpdCasTiming& t = p.At;
  std::string clock = "no valid clock";
  if (t.CycleTimePs != 0) {
    clock = t.ChipSpeed + " (" + t.Grade + ") " +
            (t.CasTenths != 0 ? CasText(t.CasTenths).substr(2) + "-" + std::to_string(t.Trcd) +
                                    "-" + std::to_string(t.Trp) + "-" + std::to_string(t.Tras)
                              : "with no latency covering tAA");
  }
  std::vector<std::string> text = {
      clock + " at " + Volts(p.VoltageMv) + ", tCK " + NsOrNone(t.CycleTimePs) + ", " +
          std::to_string(p.DimmsPerChannel) + (p.DimmsPerChannel == 1 ? " DIMM" : " DIMMs") +
          " per channel",
      "CAS latencies " + Latencies(p.CasTenths),
      "tAA " + NsOrNone(p.TaaPs) + ", tRCD " + NsOrNone(p.TrcdPs) + ", tRP " + NsOrNone(p.TrpPs) +
          ", tRAS " + NsOrNone(p.TrasPs) + ", tRC " + NsOrNone(p.TrcPs)};
  if (ddr4) {
    text.push_back("tRFC1 " + NsOrNone(p.TrfcPs) + ", tRFC2 " + NsOrNone(p.Trfc2Ps) + ", tRFC4 " +
                   NsOrNone(p.Trfc4Ps) + ", tRRD_S " + NsOrNone(p.TrrdPs) + ", tRRD_L " +
                   NsOrNone(p.TrrdLPs) + ", tFAW " + NsOrNone(p.TfawPs));
  } else {
    text.push_back("tRFC " + NsOrNone(p.TrfcPs) + ", tRRD " + NsOrNone(p.TrrdPs) + ", tFAW " +
                   NsOrNone(p.TfawPs) + ", tWR " + NsOrNone(p.TwrPs) + ", tWTR " +
                   NsOrNone(p.TwtrPs) + ", tRTP " + NsOrNone(p.TrtpPs) + ", tCWL " +
                   NsOrNone(p.TcwlPs));
  }
  return text;
}

}  // namespace

std::string SpdDecodeText(const SpdFacts& f) {
  std::string text;
  for (const SpdLine& l : SpdDecodeLines(f)) {
    constexpr size_t kValueColumn = 22;
    text += l.Name;
    text.append(l.Name.size() < kValueColumn ? kValueColumn - l.Name.size() : 1, ' ');
    text += l.Value + '\n';
  }
  return text;
}

std::vector<SpdLine> SpdDecodeLines(const SpdFacts& f) {
  std::vector<SpdLine> text;
  const auto line = [&](std::string_view name, const std::string& value) {
    text.push_back({std::string(name), value});
  };
  line("memory type:", f.Type + " (type byte " + HexText(static_cast<uint8_t>(f.Memory), 2) + ")");
  if (!f.Decoded) {
    line("decoded:", f.Blank ? "no: nothing is written in bytes 0-127"
                             : "no: only SDR, DDR, DDR2, DDR3 and DDR4 SDRAM modules are decoded");
    if (!CheckText(f).empty() && !f.SumUnwritten) line("checksum:", CheckText(f));
    return text;
  }
  line("SPD revision:", std::to_string(f.SpdRevision >> 4) + "." +
                            std::to_string(f.SpdRevision & 0x0F) + " (" +
                            HexText(f.SpdRevision, 2) + ")");
  line("bytes written:", std::to_string(f.BytesWritten) + " of " + std::to_string(f.EepromBytes));
  line("checksum:", CheckText(f));
  const SpdTypeFields has = FieldsOf(f.Memory);
  if (has.Ddr4) {
    line("checksum, page 0 top:",
         f.Ddr4.Crc2Checked
             ? CrcText("CRC-16 of bytes 128-253", f.Ddr4.StoredCrc2, f.Ddr4.ComputedCrc2)
             : "not checked (the bytes end before byte 256)");
  }
  if (has.Ddr2) line("module type:", f.Ddr2.ModuleType);
  line("size:", SizeText(f));
  if (has.Ddr4) line("package:", f.Ddr4.Package);
  line(f.Asymmetric ? "rank 1:" : "each rank:", Geometry(f, 0));
  if (f.Asymmetric) line("rank 2:", Geometry(f, 1));
  // Appended: "x" + std::to_string() trips a false -Wrestrict of g++ 12 at -O3.
  std::string devices = "x";
  devices += std::to_string(f.DeviceWidth);
  line("devices:", devices);
  line("data width:", std::to_string(f.DataWidth) + " bits");
  line("error checking:", ErrorCheckText(f.ErrorCheck));
  line(has.Ddr3 ? "operable voltages:" : "voltage interface:", f.Voltage);
  line("registered:", f.Registered ? "yes" : "no");
  line("buffered:", f.Buffered ? "yes" : "no");
  if (!has.Ddr2) {
    line("module attributes:", f.Attributes.empty() ? "none" : Join(f.Attributes, ", "));
  }

  line("CAS latencies:", Latencies(f.CasTenths));
  bool first = true;
  for (const SpdCasTiming& t : f.Timings) {
    line(first ? "CL-tRCD-tRP-tRAS:" : "",
         Tenths(t.CasTenths) + "-" + std::to_string(t.Trcd) + "-" + std::to_string(t.Trp) + "-" +
             std::to_string(t.Tras) + " at " + Ns(t.CycleTimePs) + ": " +
             (t.Grade.empty() ? "below every standard grade" : t.Grade) + " (" + t.ChipSpeed + ")" +
             (t.AccessTimePs != 0 ? ", tAC " + Ns(t.AccessTimePs) : ""));
    first = false;
  }
  first = true;
  for (const SpdCasTiming& t : f.Ddr2.StandardSpeeds) {
    line(first ? "at standard speeds:" : "",
         Tenths(t.CasTenths) + "-" + std::to_string(t.Trcd) + "-" + std::to_string(t.Trp) + "-" +
             std::to_string(t.Tras) + " as " + t.ChipSpeed + " (" + t.Grade + ", tCK " +
             Ns(t.CycleTimePs) + ")");
    first = false;
  }
  if (has.Ddr2 && f.Ddr2.StandardSpeeds.empty()) {
    line("at standard speeds:", "none: the module meets no standard clock");
  }
  if (f.CycleTimePs != 0) {
    line("maximum clock:", std::to_string(f.MaxClockKHz / 1000) + "." +
                               std::to_string(f.MaxClockKHz % 1000 / 100) + " MHz (tCK " +
                               Ns(f.CycleTimePs) + ")");
    line("speed grade:", f.SpeedGrade.empty() ? "below every standard grade (" + f.ChipSpeed + ")"
                                              : f.SpeedGrade + " (" + f.ChipSpeed + ")");
  }
  if (has.Ddr3) line("tAA:", NsOrNone(f.Ddr3.TaaPs));
  line("tRCD, tRP, tRAS:", Ns(f.TrcdPs) + ", " + Ns(f.TrpPs) + ", " + Ns(f.TrasPs));
  line("tRC:", Ns(f.TrcPs) + (f.TrcDerived ? " (tRAS + tRP; SDR modules do not state it)" : ""));
  if (has.Ddr4) {
    line("tRFC1, tRFC2, tRFC4:",
         NsOrNone(f.TrfcPs) + ", " + NsOrNone(f.Ddr4.Trfc2Ps) + ", " + NsOrNone(f.Ddr4.Trfc4Ps));
    line("tRRD_S, tRRD_L:", Ns(f.TrrdPs) + ", " + Ns(f.Ddr4.TrrdLPs));
    line("tCCD_L:", Ns(f.Ddr4.TccdLPs));
    line("tWR, tWTR_S, tWTR_L:",
         NsOrNone(f.Ddr2.TwrPs) + ", " + NsOrNone(f.Ddr2.TwtrPs) + ", " + NsOrNone(f.Ddr4.TwtrLPs));
  } else {
    line("tRFC:", NsOrNone(f.TrfcPs));
    line("tRRD:", Ns(f.TrrdPs));
  }
  if (has.Ddr2 && !has.Ddr4) {
    line("tWR, tWTR, tRTP:",
         NsOrNone(f.Ddr2.TwrPs) + ", " + NsOrNone(f.Ddr2.TwtrPs) + ", " + NsOrNone(f.Ddr2.TrtpPs));
  }
  if (has.Ddr3) {
    line("tFAW:", NsOrNone(f.Ddr3.TfawPs));
    std::string range = "0-";
    range += std::to_string(f.Ddr3.MaxTemperatureC);
    if (!has.Ddr4) line("temperature range:", range + " C");
    line("thermal sensor:", f.Ddr3.ThermalSensor ? "yes" : "no");
  } else {
    line("address/command:", SetupHold(f.AddressSetupPs, f.AddressHoldPs));
    line("data inputs:", SetupHold(f.DataSetupPs, f.DataHoldPs));
    line("refresh:", f.Refresh);
    std::vector<std::string> bursts;
    for (uint8_t length : f.BurstLengths) bursts.push_back(std::to_string(length));
    if (f.BurstFullPage) bursts.push_back("full page");
    line("burst lengths:", bursts.empty() ? "none stated" : Join(bursts, " "));
  }
  if (f.Ddr2.MaxCycleTimePs != 0) line("longest clock:", "tCK " + Ns(f.Ddr2.MaxCycleTimePs));

  line("maker:", MakerText(f.Maker));
  if (has.Ddr3) line("DRAM maker:", f.IdentityRead ? MakerText(f.Ddr3.DramMaker) : "not read");
  line("manufacturing place:", HexText(f.Location, 2));
  const std::string unread =
      "not read (the bytes end before byte " + std::to_string(f.IdentityEnd) + ")";
  line("part number:", !f.IdentityRead ? unread : f.PartNumber.empty() ? "(none)" : f.PartNumber);
  line("revision:", f.IdentityRead ? HexText(f.Revision, 4) : "not read");
  line("manufacturing date:", DateText(f));
  line("serial number:", f.SerialHex);
  if (f.HasXmp) {
    line("XMP:", XmpHeader(f));
    for (const SpdXmpProfile& p : f.Xmp) {
      const std::vector<std::string> lines = XmpProfileText(p, has.Ddr4);
      for (size_t i = 0; i < lines.size(); ++i)
        line(i == 0 ? "XMP profile " + std::to_string(p.Number) + ":" : "", lines[i]);
    }
  }
  return text;
}

}  // namespace dimmio
