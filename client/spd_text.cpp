// The decoded module as a listing for people.
#include <cstdio>

#include "dimmio/spd.h"

namespace dimmio {

namespace {

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

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
std::string NsOrNone(uint32_t ps) { return ps != 0 ? Ns(ps) : "not stated"; }

std::string SetupHold(uint32_t setupPs, uint32_t holdPs) {
  return NsOrNone(setupPs) + " setup, " + NsOrNone(holdPs) + " hold";
}

std::string DateText(const SpdFacts& f) {
  char date[96];
  if (f.DateBcd) {
    std::snprintf(date, sizeof date, "year %u, week %u", f.Year, f.Week);
  } else {
    std::snprintf(date, sizeof date,
                  "year 0x%02X, week 0x%02X as stored (not a BCD year and week 1-53)",
                  f.YearByte, f.WeekByte);
  }
  return date;
}

std::string Tenths(uint8_t tenths) {
  return CasText(tenths).substr(2);  // "2.5" of "CL2.5"
}

std::string Geometry(const SpdFacts& f, int rank) {
  return std::to_string(f.RowBits[rank]) + " row x " + std::to_string(f.ColumnBits[rank]) +
         " column address bits x " + std::to_string(f.DeviceBanks) + " banks x " +
         std::to_string(f.DataWidth) + " bits";
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
  text += f.DensityMatches ? " (byte 31 agrees)"
                           : " (byte 31, " + Hex(f.DensityByte, 2) + ", states other sizes)";
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

}  // namespace

std::string SpdDecodeText(const SpdFacts& f) {
  std::string text;
  const auto line = [&](std::string_view name, const std::string& value) {
    constexpr size_t kValueColumn = 22;
    text += name;
    text.append(name.size() < kValueColumn ? kValueColumn - name.size() : 1, ' ');
    text += value + '\n';
  };
  line("memory type:", f.Type + " (type byte " + Hex(f.TypeByte, 2) + ")");
  if (!f.Decoded) {
    line("decoded:", f.Blank ? "no: nothing is written in bytes 0-127"
                             : "no: only SDR and DDR SDRAM modules are decoded");
    if (f.StoredChecksum != 0 || f.ComputedChecksum != 0) {
      line("checksum:", f.ChecksumOk() ? "ok (" + Hex(f.StoredChecksum, 2) + ")"
                                       : "WRONG: stored " + Hex(f.StoredChecksum, 2) +
                                             ", computed " + Hex(f.ComputedChecksum, 2));
    }
    return text;
  }
  line("SPD revision:", std::to_string(f.SpdRevision >> 4) + "." +
                            std::to_string(f.SpdRevision & 0x0F) + " (" + Hex(f.SpdRevision, 2) + ")");
  line("bytes written:", std::to_string(f.BytesWritten) + " of " + std::to_string(f.EepromBytes));
  line("checksum:", f.ChecksumOk() ? "ok (" + Hex(f.StoredChecksum, 2) + ")"
                                   : "WRONG: stored " + Hex(f.StoredChecksum, 2) +
                                         ", computed " + Hex(f.ComputedChecksum, 2));
  line("size:", SizeText(f));
  line(f.Asymmetric ? "rank 1:" : "each rank:", Geometry(f, 0));
  if (f.Asymmetric) line("rank 2:", Geometry(f, 1));
  line("devices:", "x" + std::to_string(f.DeviceWidth));
  line("data width:", std::to_string(f.DataWidth) + " bits");
  line("error checking:", ErrorCheckText(f.ErrorCheck));
  line("voltage interface:", f.Voltage);
  line("registered:", f.Registered ? "yes" : "no");
  line("buffered:", f.Buffered ? "yes" : "no");
  line("module attributes:", f.Attributes.empty() ? "none" : Join(f.Attributes, ", "));

  std::vector<std::string> latencies;
  for (uint8_t cas : f.CasTenths) latencies.push_back(CasText(cas));
  line("CAS latencies:", latencies.empty() ? "none stated" : Join(latencies, " "));
  bool first = true;
  for (const SpdCasTiming& t : f.Timings) {
    line(first ? "CL-tRCD-tRP-tRAS:" : "",
         Tenths(t.CasTenths) + "-" + std::to_string(t.Trcd) + "-" + std::to_string(t.Trp) + "-" +
             std::to_string(t.Tras) + " at " + Ns(t.CycleTimePs) + ": " +
             (t.Grade.empty() ? "below every standard grade" : t.Grade) + " (" + t.ChipSpeed + ")" +
             (t.AccessTimePs != 0 ? ", tAC " + Ns(t.AccessTimePs) : ""));
    first = false;
  }
  if (f.CycleTimePs != 0) {
    line("maximum clock:", std::to_string(f.MaxClockKHz / 1000) + "." +
                               std::to_string(f.MaxClockKHz % 1000 / 100) + " MHz (tCK " +
                               Ns(f.CycleTimePs) + ")");
    line("speed grade:", f.SpeedGrade.empty() ? "below every standard grade (" + f.ChipSpeed + ")"
                                              : f.SpeedGrade + " (" + f.ChipSpeed + ")");
  }
  line("tRCD, tRP, tRAS:", Ns(f.TrcdPs) + ", " + Ns(f.TrpPs) + ", " + Ns(f.TrasPs));
  line("tRC:", Ns(f.TrcPs) + (f.TrcDerived ? " (tRAS + tRP; SDR modules do not state it)" : ""));
  line("tRFC:", NsOrNone(f.TrfcPs));
  line("tRRD:", Ns(f.TrrdPs));
  line("address/command:", SetupHold(f.AddressSetupPs, f.AddressHoldPs));
  line("data inputs:", SetupHold(f.DataSetupPs, f.DataHoldPs));
  line("refresh:", f.Refresh);
  std::vector<std::string> bursts;
  for (uint8_t length : f.BurstLengths) bursts.push_back(std::to_string(length));
  if (f.BurstFullPage) bursts.push_back("full page");
  line("burst lengths:", bursts.empty() ? "none stated" : Join(bursts, " "));

  std::string maker;
  if (f.Maker.Bank == 0) {
    maker = "not stated";
  } else {
    maker = (f.Maker.Name.empty() ? std::string(f.Maker.ParityOk ? "unknown maker" : "invalid code")
                                  : f.Maker.Name) +
            " (JEDEC bank " + std::to_string(f.Maker.Bank) + ", code " + Hex(f.Maker.Code, 2) +
            (f.Maker.ParityOk ? ")" : ", parity bit wrong)");
  }
  line("maker:", maker);
  line("manufacturing place:", Hex(f.Location, 2));
  line("part number:", f.PartNumber.empty() ? "(none)" : f.PartNumber);
  line("revision:", Hex(f.Revision, 4));
  line("manufacturing date:", DateText(f));
  line("serial number:", f.SerialHex);
  return text;
}

}  // namespace dimmio
