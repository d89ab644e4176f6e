#include "output.h"

namespace dimmio::cli {

namespace {

const char* ErrorCheckName(SpdErrorCheck check) {
  switch (check) {
    case SpdErrorCheck::Ecc: return "ecc";
    case SpdErrorCheck::Parity: return "parity";
    case SpdErrorCheck::None: break;
  }
  return "none";
}

nlohmann::json TimingJson(const SpdCasTiming& t) {
  return {{"cas_latency", CasText(t.CasTenths)}, {"cycle_time_ps", t.CycleTimePs},
          {"trcd_clocks", t.Trcd},                {"trp_clocks", t.Trp},
          {"tras_clocks", t.Tras},                {"speed_grade", t.Grade},
          {"chip_speed", t.ChipSpeed},            {"tac_ps", t.AccessTimePs}};
}

}  // namespace

void PrintJson(std::ostream& out, const nlohmann::json& json) {
  out << json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

nlohmann::json SpdJson(const SpdFacts& f) {
  nlohmann::json json = {{"type", f.Type},
                         {"type_byte", f.TypeByte},
                         {"blank", f.Blank},
                         {"decoded", f.Decoded},
                         {"checksum_ok", f.ChecksumOk()},
                         {"checksum_stored", f.StoredChecksum},
                         {"checksum_computed", f.ComputedChecksum}};
  if (!f.Decoded) return json;
  nlohmann::json cas = nlohmann::json::array();
  for (uint8_t tenths : f.CasTenths) cas.push_back(CasText(tenths));
  nlohmann::json timings = nlohmann::json::array();
  for (const SpdCasTiming& t : f.Timings) timings.push_back(TimingJson(t));
  json.update({{"spd_revision", std::to_string(f.SpdRevision >> 4) + "." +
                                    std::to_string(f.SpdRevision & 0x0F)},
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
               {"trfc_ps", f.TrfcPs},
               {"trrd_ps", f.TrrdPs},
               {"address_setup_ps", f.AddressSetupPs},
               {"address_hold_ps", f.AddressHoldPs},
               {"data_setup_ps", f.DataSetupPs},
               {"data_hold_ps", f.DataHoldPs},
               {"refresh", f.Refresh},
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
  return json;
}

}  // namespace dimmio::cli
