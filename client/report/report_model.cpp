#include "report_model.h"

#include <algorithm>
#include <iterator>

namespace dimmio {

namespace {

// Keeps a request's value; false, with the reason, when the request failed.
template <typename T, typename U>
bool Take(const Result<T>& result, U& into, RequestError& error) {
  if (!result) {
    error = result.error();
    return false;
  }
  into = *result;
  return true;
}

constexpr uint8_t kDdr4Type = static_cast<uint8_t>(SpdMemoryType::Ddr4Sdram);

std::vector<ByteCheck> ChecksOf(const SpdFacts& f) {
  std::vector<ByteCheck> checks;
  const auto verdict = [](bool ok) { return ok ? CheckVerdict::Ok : CheckVerdict::Bad; };
  if (f.CheckRule == SpdCheckRule::Sum) {
    checks.push_back({SpdCheckRule::Sum, 0, 62, 63, 63, f.StoredChecksum, f.ComputedChecksum,
                      verdict(f.ChecksumOk())});
  } else if (f.CheckRule == SpdCheckRule::Crc16) {
    checks.push_back({SpdCheckRule::Crc16, 0, f.CrcLastByte, 126, 127, f.StoredCrc, f.ComputedCrc,
                      verdict(f.ChecksumOk())});
  }
  if (FieldsOf(f.Memory).Ddr4 && f.Ddr4.Crc2Checked) {
    checks.push_back({SpdCheckRule::Crc16, 128, 253, 254, 255, f.Ddr4.StoredCrc2,
                      f.Ddr4.ComputedCrc2, verdict(f.Ddr4.StoredCrc2 == f.Ddr4.ComputedCrc2)});
  }
  return checks;
}

}  // namespace

void DecodeSlot(SlotReport& s, bool noPageSelected) {
  if (s.BytesRead == 0 && s.Status.Code == DIMMIO_ERROR_SPD_BLOCK_READ) {
    s.State = SlotState::Empty;
    return;
  }
  s.Facts = DecodeSpd(s.Bytes);
  s.Checks = ChecksOf(s.Facts);
  if (s.Bytes.size() < kSpdDecodedBytes) {
    s.State = SlotState::Stopped;
  } else if (s.Facts.Decoded) {
    s.State = SlotState::Module;
  } else if (s.Facts.Blank) {
    s.State = SlotState::Blank;
  } else {
    s.State = noPageSelected ? SlotState::Unpaged : SlotState::Undecoded;
  }
}

// The chipset record's last word holds the chip's traits. The C600/X79 and
// C610/X99 boards wire the modules' SPDs to the processor's memory-controller
// SMBus, not the PCH's.
bool SpdsOnProcessorBus(const PciDeviceRecord& c) {
  return (c.Reserved & DIMMIO_CHIP_SPDS_ON_CPU_BUS) != 0;
}

bool HasSegmentSwitch(const PciDeviceRecord& c) {
  return (c.Reserved & DIMMIO_CHIP_SEGMENT_SWITCH) != 0;
}

SystemInfo PrintableSystemInfo(const SystemInfo& info) {
  SystemInfo printable = info;
  for (std::string* text :
       {&printable.SystemManufacturer, &printable.SystemProduct, &printable.SystemVersion,
        &printable.SystemSerialNumber, &printable.BoardManufacturer, &printable.BoardProduct,
        &printable.BoardVersion, &printable.BoardSerialNumber}) {
    *text = PrintableText(*text);
  }
  return printable;
}

Result<SpdImage> ReadSpdImage(Client& client, uint8_t slot, SpdPaging& paging) {
  auto first = paging.Paged ? client.ReadSpdPage(slot, 0, 0, DIMMIO_SPD_SIZE)
                            : client.ReadSpd(slot, 0, DIMMIO_SPD_SIZE);
  if (!first) return first.error();
  SpdImage image{*first, DIMMIO_SPD_SIZE};
  const uint32_t code = image.Read.Status.Code;
  if (paging.Paged && code == DIMMIO_ERROR_NOT_KNOWN_DDR4) {
    // The slot as it shows, no page selected; the other slots alike.
    paging.Paged = false;
    paging.NoPageSelected = true;
    image.Read.Status.Code = DIMMIO_ERROR_NONE;
  }
  if (paging.Paged &&
      (code == DIMMIO_ERROR_NO_PAGE_TRANSFERS || code == DIMMIO_ERROR_PAGE_NOT_ACKNOWLEDGED)) {
    paging.Paged = false;
    const auto plain = client.ReadSpd(slot, 0, DIMMIO_SPD_SIZE);
    if (!plain) return plain.error();
    image.Read = *plain;
  }
  std::vector<uint8_t>& bytes = image.Read.Bytes;
  if (!paging.Paged || bytes.size() != DIMMIO_SPD_SIZE || bytes[2] != kDdr4Type) return image;
  // A DDR4 module: page 1 through the page request, which selects the
  // board's page again afterwards.
  image.Space = 2 * DIMMIO_SPD_SIZE;
  const auto high = client.ReadSpdPage(slot, 1, 0, DIMMIO_SPD_SIZE);
  if (!high) return high.error();
  bytes.insert(bytes.end(), high->Bytes.begin(), high->Bytes.end());
  image.Read.Status = high->Status;
  return image;
}

Result<Report> GatherReport(Client& client, const ReportRequest& request) {
  Report report;
  report.Segment = request.Segment;
  RequestError error;
  const auto table = WithBuses(request.Locks, {Bus::Pci}, [&]() -> Result<bool> {
    return Take(client.ChipsetInfo(), report.Chipset, error) &&
           Take(client.PciDeviceCount(), report.PciCount, error) &&
           Take(client.PciDeviceTable(static_cast<int32_t>(
                    std::min<uint32_t>(report.PciCount, DIMMIO_PCI_DEVICE_TABLE_CAPACITY))),
                report.Pci, error);
  });
  if (!table) return table.error();
  if (!*table) return error;
  report.SegmentSwitch = HasSegmentSwitch(report.Chipset);
  report.SpdsOnProcessorBus = SpdsOnProcessorBus(report.Chipset);

  const auto slots = OnSmbus(request.Locks, request.Segment, [&] {
    return OnSegment(client, request.Segment, [&]() -> Result<std::vector<SlotReport>> {
      std::vector<SlotReport> slots;
      SpdPaging paging;
      for (uint8_t slot = 0; slot < kSlots; ++slot) {
        const auto image = ReadSpdImage(client, slot, paging);
        if (!image) return image.error();
        if (image->Read.Status.Code == DIMMIO_ERROR_CONTROLLER_UNAVAILABLE) {
          // Nothing went on the bus, and nothing will for the other slots.
          report.ControllerAvailable = false;
          report.ControllerStatus = image->Read.Status;
          return std::vector<SlotReport>{};
        }
        SlotReport s;
        s.Slot = slot;
        s.Bytes = image->Read.Bytes;
        s.BytesRead = static_cast<uint32_t>(s.Bytes.size());
        s.Status = image->Read.Status;
        slots.push_back(std::move(s));
      }
      report.NoPageSelected = paging.NoPageSelected;
      return slots;
    });
  });
  if (!Take(slots, report.Slots, error) ||
      !Take(client.MemorySlotCount(), report.SlotCount, error) ||
      !Take(client.MemoryModuleCount(), report.ModuleCount, error)) {
    return error;
  }
  for (SlotReport& s : report.Slots) DecodeSlot(s, report.NoPageSelected);
  // The driver refuses the report when the machine has no SMBIOS table.
  const auto system = client.SystemInformation();
  if (system) {
    report.System = PrintableSystemInfo(*system);
  } else {
    report.SystemError = PrintableText(system.error().Text);
  }
  std::vector<PciId> functions{{report.Chipset.VendorId, report.Chipset.DeviceId}};
  for (const PciDeviceRecord& f : report.Pci) functions.push_back({f.VendorId, f.DeviceId});
  report.Names = PciNames::Load(request.PciIdsPaths, functions);
  return report;
}

}  // namespace dimmio
