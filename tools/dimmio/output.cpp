#include "output.h"

#include <cstdio>

namespace dimmio::cli {

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

namespace {

const char* ErrorCheckName(SpdErrorCheck check) {
  switch (check) {
    case SpdErrorCheck::Ecc: return "ecc";
    case SpdErrorCheck::Parity: return "parity";
    case SpdErrorCheck::None: break;
  }
  return "none";
}

// A time the module may leave unstated (0): null then.
nlohmann::json Ps(uint32_t ps) {
  return ps != 0 ? nlohmann::json(ps) : nlohmann::json();
}

nlohmann::json TimingJson(const SpdCasTiming& t) {
  return {{"cas_latency", CasText(t.CasTenths)},
          {"cycle_time_ps", t.CycleTimePs},
          {"trcd_clocks", t.Trcd},
          {"trp_clocks", t.Trp},
          {"tras_clocks", t.Tras},
          {"speed_grade", t.Grade},
          {"chip_speed", t.ChipSpeed},
          {"tac_ps", Ps(t.AccessTimePs)}};
}

nlohmann::json MakerJson(const JedecMaker& m) {
  if (m.Bank == 0) return nullptr;
  return {{"name", m.Name.empty() ? nlohmann::json() : nlohmann::json(m.Name)},
          {"jedec_bank", m.Bank},
          {"jedec_code", m.Code},
          {"jedec_parity_ok", m.ParityOk}};
}

// The Ddr2 and Ddr3 groups: null for the types that do not state them.
void AddDdr2Ddr3(const SpdFacts& f, nlohmann::json& json) {
  const SpdTypeFields has = FieldsOf(f.Memory);
  nlohmann::json speeds = nlohmann::json::array();
  for (const SpdCasTiming& t : f.Ddr2.StandardSpeeds) speeds.push_back(TimingJson(t));
  json.update(
      {{"module_type", has.Ddr2 ? nlohmann::json(f.Ddr2.ModuleType) : nlohmann::json()},
       {"voltages_mv",
        f.Ddr2.VoltagesMv.empty() ? nlohmann::json() : nlohmann::json(f.Ddr2.VoltagesMv)},
       {"standard_speeds", has.Ddr2 ? speeds : nlohmann::json()},
       {"max_cycle_time_ps", Ps(f.Ddr2.MaxCycleTimePs)},
       {"taa_ps", Ps(f.Ddr3.TaaPs)},
       {"twr_ps", Ps(f.Ddr2.TwrPs)},
       {"twtr_ps", Ps(f.Ddr2.TwtrPs)},
       {"trtp_ps", Ps(f.Ddr2.TrtpPs)},
       {"tfaw_ps", Ps(f.Ddr3.TfawPs)},
       {"temperature_max_c",
        f.Ddr3.MaxTemperatureC != 0 ? nlohmann::json(f.Ddr3.MaxTemperatureC) : nlohmann::json()},
       {"thermal_sensor", has.Ddr3 ? nlohmann::json(f.Ddr3.ThermalSensor) : nlohmann::json()},
       {"dram_manufacturer",
        has.Ddr3 && f.IdentityRead ? MakerJson(f.Ddr3.DramMaker) : nlohmann::json()}});
  if (!f.IdentityRead) {
    json["part_number"] = nullptr;
    json["revision"] = nullptr;
  }
}

// The fields DDR4 adds: null for the other types; the second CRC null
// where the bytes end before byte 256.
void AddDdr4(const SpdFacts& f, nlohmann::json& json) {
  const bool ddr4 = FieldsOf(f.Memory).Ddr4;
  const bool crc2 = ddr4 && f.Ddr4.Crc2Checked;
  const auto ps = [&](uint32_t value) { return ddr4 ? Ps(value) : nlohmann::json(); };
  json.update({{"package", ddr4 ? nlohmann::json(f.Ddr4.Package) : nlohmann::json()},
               {"dies", ddr4 ? nlohmann::json(f.Ddr4.Dies) : nlohmann::json()},
               {"trfc2_ps", ps(f.Ddr4.Trfc2Ps)},
               {"trfc4_ps", ps(f.Ddr4.Trfc4Ps)},
               {"trrd_l_ps", ps(f.Ddr4.TrrdLPs)},
               {"tccd_l_ps", ps(f.Ddr4.TccdLPs)},
               {"twtr_l_ps", ps(f.Ddr4.TwtrLPs)},
               {"crc2_rule", crc2 ? nlohmann::json("CRC-16 of bytes 128-253") : nlohmann::json()},
               {"crc2_ok",
                crc2 ? nlohmann::json(f.Ddr4.StoredCrc2 == f.Ddr4.ComputedCrc2) : nlohmann::json()},
               {"crc2_stored", crc2 ? nlohmann::json(f.Ddr4.StoredCrc2) : nlohmann::json()},
               {"crc2_computed", crc2 ? nlohmann::json(f.Ddr4.ComputedCrc2) : nlohmann::json()}});
}

// The XMP profiles: null where the module carries none.
nlohmann::json XmpJson(const SpdFacts& f) {
  if (!f.HasXmp) return nullptr;
  nlohmann::json profiles = nlohmann::json::array();
  for (const SpdXmpProfile& p : f.Xmp) {
    nlohmann::json cas = nlohmann::json::array();
    for (uint16_t tenths : p.CasTenths) cas.push_back(CasText(tenths));
    const bool clocked = p.At.CycleTimePs != 0;
    profiles.push_back(
        {{"profile", p.Number},
         {"dimms_per_channel", p.DimmsPerChannel},
         {"voltage_mv", p.VoltageMv},
         {"cycle_time_ps", Ps(p.At.CycleTimePs)},
         {"chip_speed", clocked ? nlohmann::json(p.At.ChipSpeed) : nlohmann::json()},
         {"speed_grade", clocked ? nlohmann::json(p.At.Grade) : nlohmann::json()},
         {"cas_latencies", cas},
         {"cas_latency",
          p.At.CasTenths != 0 ? nlohmann::json(CasText(p.At.CasTenths)) : nlohmann::json()},
         {"trcd_clocks", clocked ? nlohmann::json(p.At.Trcd) : nlohmann::json()},
         {"trp_clocks", clocked ? nlohmann::json(p.At.Trp) : nlohmann::json()},
         {"tras_clocks", clocked ? nlohmann::json(p.At.Tras) : nlohmann::json()},
         {"taa_ps", Ps(p.TaaPs)},
         {"trcd_ps", Ps(p.TrcdPs)},
         {"trp_ps", Ps(p.TrpPs)},
         {"tras_ps", Ps(p.TrasPs)},
         {"trc_ps", Ps(p.TrcPs)},
         {"trfc_ps", Ps(p.TrfcPs)},
         {"trfc2_ps", Ps(p.Trfc2Ps)},
         {"trfc4_ps", Ps(p.Trfc4Ps)},
         {"trrd_ps", Ps(p.TrrdPs)},
         {"trrd_l_ps", Ps(p.TrrdLPs)},
         {"tfaw_ps", Ps(p.TfawPs)},
         {"twr_ps", Ps(p.TwrPs)},
         {"twtr_ps", Ps(p.TwtrPs)},
         {"trtp_ps", Ps(p.TrtpPs)},
         {"tcwl_ps", Ps(p.TcwlPs)}});
  }
  return {
      {"revision", std::to_string(f.XmpRevision >> 4) + "." + std::to_string(f.XmpRevision & 0x0F)},
      {"profiles", profiles}};
}

nlohmann::json CheckRuleJson(const SpdFacts& f) {
  switch (f.CheckRule) {
    case SpdCheckRule::Sum: return "sum of bytes 0-62";
    case SpdCheckRule::Crc16: return "CRC-16 of bytes 0-" + std::to_string(f.CrcLastByte);
    case SpdCheckRule::None: break;
  }
  return nullptr;
}

}  // namespace

void PrintJson(std::ostream& out, const nlohmann::json& json) {
  out << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

nlohmann::json SpdJson(const SpdFacts& f) {
  nlohmann::json json = {
      {"type", f.Type},
      {"type_byte", static_cast<uint8_t>(f.Memory)},
      {"blank", f.Blank},
      {"decoded", f.Decoded},
      {"checksum_rule", CheckRuleJson(f)},
      {"checksum_ok",
       f.CheckRule == SpdCheckRule::None ? nlohmann::json() : nlohmann::json(f.ChecksumOk())},
      {"checksum_stored", f.StoredChecksum},
      {"checksum_computed", f.ComputedChecksum}};
  const bool crc = f.CheckRule == SpdCheckRule::Crc16;
  json["crc_stored"] = crc ? nlohmann::json(f.StoredCrc) : nlohmann::json();
  json["crc_computed"] = crc ? nlohmann::json(f.ComputedCrc) : nlohmann::json();
  if (!f.Decoded) return json;
  nlohmann::json cas = nlohmann::json::array();
  for (uint16_t tenths : f.CasTenths) cas.push_back(CasText(tenths));
  nlohmann::json timings = nlohmann::json::array();
  for (const SpdCasTiming& t : f.Timings) timings.push_back(TimingJson(t));
  json.update({{"spd_revision",
                std::to_string(f.SpdRevision >> 4) + "." + std::to_string(f.SpdRevision & 0x0F)},
               {"bytes_written", f.BytesWritten},
               {"eeprom_bytes", f.EepromBytes},
               {"capacity_mb", f.CapacityMb},
               {"ranks", f.Ranks},
               {"rank_mb", {f.RankMb[0], f.RankMb[1]}},
               {"asymmetric", f.Asymmetric},
               {"row_bits", {f.RowBits[0], f.RowBits[1]}},
               {"column_bits", {f.ColumnBits[0], f.ColumnBits[1]}},
               {"device_banks", f.DeviceBanks},
               {"device_width", f.DeviceWidth},
               {"rank_density_byte", f.DensityByte},
               {"rank_density_matches", f.DensityMatches},
               {"data_width", f.DataWidth},
               {"error_check", ErrorCheckName(f.ErrorCheck)},
               {"ecc", f.Ecc},
               {"voltage", f.Voltage},
               {"registered", f.Registered},
               {"buffered", f.Buffered},
               {"attributes", f.Attributes},
               {"cas_latencies", cas},
               {"timings", timings},
               {"cycle_time_ps", f.CycleTimePs},
               {"speed_grade", f.SpeedGrade},
               {"chip_speed", f.ChipSpeed},
               {"max_clock_khz", f.MaxClockKHz},
               {"trcd_ps", f.TrcdPs},
               {"trp_ps", f.TrpPs},
               {"tras_ps", f.TrasPs},
               {"trc_ps", f.TrcPs},
               {"trc_derived", f.TrcDerived},
               {"trfc_ps", Ps(f.TrfcPs)},
               {"trrd_ps", f.TrrdPs},
               {"address_setup_ps", Ps(f.AddressSetupPs)},
               {"address_hold_ps", Ps(f.AddressHoldPs)},
               {"data_setup_ps", Ps(f.DataSetupPs)},
               {"data_hold_ps", Ps(f.DataHoldPs)},
               {"refresh", f.Refresh.empty() ? nlohmann::json() : nlohmann::json(f.Refresh)},
               {"burst_lengths", f.BurstLengths},
               {"burst_full_page", f.BurstFullPage},
               {"manufacturer", f.Maker.Name},
               {"jedec_bank", f.Maker.Bank},
               {"jedec_code", f.Maker.Code},
               {"jedec_parity_ok", f.Maker.ParityOk},
               {"manufacturing_location", f.Location},
               {"part_number", f.PartNumber},
               {"revision", f.Revision},
               {"manufacturing_year_byte", f.YearByte},
               {"manufacturing_week_byte", f.WeekByte},
               // The BCD date; null where bytes 93-94 hold none.
               {"manufacturing_year", f.DateBcd ? nlohmann::json(f.Year) : nlohmann::json()},
               {"manufacturing_week", f.DateBcd ? nlohmann::json(f.Week) : nlohmann::json()},
               {"serial_number", f.SerialNumber},
               {"serial_number_hex", f.SerialHex}});
  AddDdr2Ddr3(f, json);
  AddDdr4(f, json);
  json["xmp"] = XmpJson(f);
  return json;
}

}  // namespace dimmio::cli
